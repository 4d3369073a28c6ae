#include "platform/linux/atspi/atspi_focus_tracker.hpp"

#include "platform/linux/activity/own_key_grab.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"
#include "platform/linux/atspi/atspi_thread.hpp"

#include <memory>
#include <string_view>

namespace pennial {

namespace {
constexpr const char* focusedEvent = "object:state-changed:focused";
constexpr const char* defunctEvent = "object:state-changed:defunct";

bool applicationGone(AtspiAccessible* accessible) {
    const auto* object = ATSPI_OBJECT(accessible);
    return !object->app || !object->app->bus;
}
} // namespace

AtspiFocusTracker::AtspiFocusTracker(std::function<void()> changed) : changed_(std::move(changed)) {
    listener_ = atspi_event_listener_new(&AtspiFocusTracker::onEvent, this, nullptr);
    atspi_event_listener_register(listener_, focusedEvent, nullptr);
    atspi_event_listener_register(listener_, defunctEvent, nullptr);
}

AtspiFocusTracker::~AtspiFocusTracker() {
    atspi_event_listener_deregister(listener_, focusedEvent, nullptr);
    atspi_event_listener_deregister(listener_, defunctEvent, nullptr);
    g_object_unref(listener_);
    take(nullptr);
}

void AtspiFocusTracker::onEvent(AtspiEvent* received, void* self) {
    // The event is ours to free.
    std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> event(
        received, [](AtspiEvent* done) { g_boxed_free(ATSPI_TYPE_EVENT, done); });
    auto* tracker = static_cast<AtspiFocusTracker*>(self);
    AtspiThread::instance().keepConnectionHere(event->source);
    if (!event->source || event->detail1 != 1)
        return;
    // Runs while another call waits for its reply, too: it only takes note, asking nothing.
    const std::string_view type = event->type ? event->type : "";
    if (type == focusedEvent) {
        if (own_key_grab::explains(std::chrono::steady_clock::now()))
            return;
        ++tracker->reports_;
        tracker->adopt(event->source);
    } else if (type == defunctEvent && event->source == tracker->focused_) {
        tracker->take(nullptr);
    }
}

void AtspiFocusTracker::adopt(AtspiAccessible* accessible) {
    take(accessible);
    focusedAt_ = std::chrono::steady_clock::now();
}

void AtspiFocusTracker::take(AtspiAccessible* accessible) {
    if (accessible)
        g_object_ref(accessible);
    if (focused_)
        g_object_unref(focused_);
    focused_ = accessible;
    if (changed_)
        changed_();
}

AtspiAccessible* AtspiFocusTracker::focused() {
    // An element that goes says so (the event above), or its application leaves the bus; either
    // way, asking would cost a call on every poll.
    if (focused_ && applicationGone(focused_))
        take(nullptr);
    return focused_;
}

} // namespace pennial
