#include "platform/linux/atspi_focus_tracker.hpp"

#include "platform/linux/atspi_call.hpp"
#include "platform/linux/atspi_ref.hpp"

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

AtspiFocusTracker::AtspiFocusTracker() {
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

void AtspiFocusTracker::onEvent(AtspiEvent* event, void* self) {
    auto* tracker = static_cast<AtspiFocusTracker*>(self);
    if (!event->source || event->detail1 != 1)
        return;
    // Runs while another call waits for its reply, too: it only takes note, asking nothing.
    const std::string_view type = event->type ? event->type : "";
    if (type == focusedEvent)
        tracker->take(event->source);
    else if (type == defunctEvent && event->source == tracker->focused_)
        tracker->take(nullptr);
}

void AtspiFocusTracker::take(AtspiAccessible* accessible) {
    if (accessible)
        g_object_ref(accessible);
    if (focused_)
        g_object_unref(focused_);
    focused_ = accessible;
}

AtspiAccessible* AtspiFocusTracker::focused(AtspiCall& call) {
    if (!focused_)
        return nullptr;
    bool defunct = applicationGone(focused_);
    if (!defunct) {
        GObjectRef<AtspiStateSet> states(
            call([&](GError**) { return atspi_accessible_get_state_set(focused_); }));
        defunct = !states || atspi_state_set_contains(states.get(), ATSPI_STATE_DEFUNCT);
    }
    if (defunct)
        take(nullptr);
    return focused_;
}

} // namespace pennial
