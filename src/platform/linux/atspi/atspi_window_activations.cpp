#include "platform/linux/atspi/atspi_window_activations.hpp"

#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"
#include "platform/linux/atspi/atspi_thread.hpp"
#include "platform/linux/atspi/atspi_tree.hpp"

#include <string_view>
#include <unistd.h>

namespace pennial {

namespace {

constexpr const char* activateEvent = "window:activate";
// What an application does only in the window the user works in (or, for "active", says of a
// window in a way that is not always to be trusted on its own: searched like the rest).
constexpr const char* activityEvents[] = {"object:text-changed", "object:text-caret-moved",
                                          "object:state-changed:focused",
                                          "object:state-changed:active"};
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

std::shared_ptr<AtspiWindowActivations> AtspiWindowActivations::start(Activated activated,
                                                                      KnownActive knownActive) {
    std::shared_ptr<AtspiWindowActivations> activations(
        new AtspiWindowActivations(std::move(activated), std::move(knownActive)));
    // Later: the window active now is looked for behind whatever the thread already holds.
    AtspiThread::instance().post([weak = activations->weak_from_this()] {
        if (auto self = weak.lock())
            self->findActive();
    });
    return activations;
}

AtspiWindowActivations::AtspiWindowActivations(Activated activated, KnownActive knownActive)
    : activated_(std::move(activated)),
      search_({std::move(knownActive), [this](Pid pid) { activated_(pid); }}),
      ownPid_(static_cast<Pid>(::getpid())) {
    listener_ = atspi_event_listener_new(&AtspiWindowActivations::onEvent, this, nullptr);
    atspi_event_listener_register(listener_, activateEvent, nullptr);
    for (const char* events : activityEvents)
        atspi_event_listener_register(listener_, events, nullptr);
}

AtspiWindowActivations::~AtspiWindowActivations() {
    atspi_event_listener_deregister(listener_, activateEvent, nullptr);
    for (const char* events : activityEvents)
        atspi_event_listener_deregister(listener_, events, nullptr);
    g_object_unref(listener_);
}

void AtspiWindowActivations::onEvent(AtspiEvent* received, void* self) {
    std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> event(
        received, [](AtspiEvent* done) { g_boxed_free(ATSPI_TYPE_EVENT, done); });
    if (!event->source)
        return;
    const std::string_view type = event->type ? event->type : "";
    const bool activation = type == activateEvent;
    // A state lost says nothing of where the user is.
    if (type.starts_with("object:state-changed:") && event->detail1 != 1)
        return;
    // Events arrive while other calls wait for their replies: the lookup, a call of its own, waits
    // its turn on the thread.
    auto* activations = static_cast<AtspiWindowActivations*>(self);
    // Shared, since the work is copied into the thread's queue.
    std::shared_ptr<AtspiAccessible> source(atspi_tree::ref(event->source).release(),
                                            [](AtspiAccessible* done) { g_object_unref(done); });
    AtspiThread::instance().post([weak = activations->weak_from_this(), source, activation] {
        auto self = weak.lock();
        if (!self || atspi_tree::isGone(source.get()))
            return;
        if (!activation) {
            self->activityIn(source);
            return;
        }
        AtspiCall call(lookupTimeout);
        if (auto pid = processOf(call, source.get()))
            self->activated_(*pid);
    });
}

std::optional<Pid> AtspiWindowActivations::processByBusName(AtspiAccessible* accessible) {
    const auto* object = ATSPI_OBJECT(accessible);
    if (!object->app || !object->app->bus_name)
        return std::nullopt;
    const std::string busName = object->app->bus_name;
    if (auto known = processes_.find(busName); known != processes_.end())
        return known->second;
    // Asked of the bus, not of the application: this process's own might not answer while its
    // user interface waits on this thread.
    AtspiCall call(lookupTimeout);
    auto pid = processOf(call, accessible);
    if (!pid)
        return std::nullopt;
    // Bus names are never given out twice; those of applications gone are simply dropped now and
    // then.
    constexpr std::size_t keptProcesses = 256;
    if (processes_.size() >= keptProcesses)
        processes_.clear();
    processes_.emplace(busName, *pid);
    return pid;
}

void AtspiWindowActivations::activityIn(const std::shared_ptr<AtspiAccessible>& accessible) {
    // An application typed in is asked nothing until a search is due.
    auto pid = processByBusName(accessible.get());
    if (!pid || *pid == ownPid_)
        return;
    AtspiCall call(lookupTimeout);
    const auto now = ActiveWindowSearch::Clock::now();
    auto followUp = search_.noteActivity(*pid, now, [&] {
        auto* application = applications_.of(call, accessible.get());
        // A call of its own: a failed lookup of the process must not fail the search.
        AtspiCall search(lookupTimeout);
        return application && atspi_tree::activeWindow(search, application) && !search.failed();
    });
    if (!followUp)
        return;
    const auto delay = std::chrono::ceil<std::chrono::milliseconds>(*followUp - now);
    AtspiThread::instance().postAfter(delay, [weak = weak_from_this(), accessible] {
        auto self = weak.lock();
        if (self && !atspi_tree::isGone(accessible.get()))
            self->activityIn(accessible);
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
