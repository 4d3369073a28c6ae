#include "platform/linux/atspi/atspi_window_activations.hpp"

#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"
#include "platform/linux/atspi/atspi_thread.hpp"
#include "platform/linux/atspi/atspi_tree.hpp"

namespace pennial {

namespace {

constexpr const char* activateEvent = "window:activate";
// What one lookup may wait for an application; a silent one must not hold up the others.
constexpr AtspiCall::Timeout lookupTimeout{0.5};
// The applications looked at for a window active before we started.
constexpr int applicationLimit = 200;

std::optional<Pid> processOf(AtspiCall& call, AtspiAccessible* accessible) {
    const guint pid =
        call([&](GError** error) { return atspi_accessible_get_process_id(accessible, error); });
    if (call.failed() || pid == 0 || pid == static_cast<guint>(-1))
        return std::nullopt;
    return static_cast<Pid>(pid);
}

} // namespace

std::shared_ptr<AtspiWindowActivations> AtspiWindowActivations::start(Activated activated) {
    std::shared_ptr<AtspiWindowActivations> activations(
        new AtspiWindowActivations(std::move(activated)));
    // Later: the window active now is looked for behind whatever the thread already holds.
    AtspiThread::instance().post([weak = activations->weak_from_this()] {
        if (auto self = weak.lock())
            self->findActive();
    });
    return activations;
}

AtspiWindowActivations::AtspiWindowActivations(Activated activated)
    : activated_(std::move(activated)) {
    listener_ = atspi_event_listener_new(&AtspiWindowActivations::onEvent, this, nullptr);
    atspi_event_listener_register(listener_, activateEvent, nullptr);
}

AtspiWindowActivations::~AtspiWindowActivations() {
    atspi_event_listener_deregister(listener_, activateEvent, nullptr);
    g_object_unref(listener_);
}

void AtspiWindowActivations::onEvent(AtspiEvent* received, void* self) {
    std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> event(
        received, [](AtspiEvent* done) { g_boxed_free(ATSPI_TYPE_EVENT, done); });
    if (!event->source)
        return;
    // Events arrive while other calls wait for their replies: the lookup, a call of its own, waits
    // its turn on the thread.
    auto* activations = static_cast<AtspiWindowActivations*>(self);
    // Shared, since the work is copied into the thread's queue.
    std::shared_ptr<AtspiAccessible> window(atspi_tree::ref(event->source).release(),
                                            [](AtspiAccessible* done) { g_object_unref(done); });
    AtspiThread::instance().post([weak = activations->weak_from_this(), window] {
        auto self = weak.lock();
        if (!self || atspi_tree::isGone(window.get()))
            return;
        AtspiCall call(lookupTimeout);
        if (auto pid = processOf(call, window.get()))
            self->activated_(*pid);
    });
}

void AtspiWindowActivations::findActive() {
    GObjectRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop)
        return;
    AtspiCall listing(lookupTimeout);
    for (auto& application : atspi_tree::children(listing, desktop.get(), applicationLimit)) {
        // A call of its own for each: one silent application fails only its own lookup.
        AtspiCall call(lookupTimeout);
        if (!atspi_tree::activeWindow(call, application.get()) || call.failed())
            continue;
        if (auto pid = processOf(call, application.get())) {
            activated_(*pid);
            return;
        }
    }
}

} // namespace pennial
