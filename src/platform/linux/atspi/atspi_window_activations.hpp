#pragma once
// Which application's window is active, as the applications themselves report it on the
// accessibility bus ("window:activate"). Where the window manager cannot say (under a Wayland
// compositor, whose Xwayland sees only X clients), it is the only account there is. Applications
// that never report it (GTK 4) are found by what they do in their active window: typing, caret
// moves and focus. Accessibility thread only.

#include "platform/accessibility.hpp"
#include "platform/linux/activity/active_window_search.hpp"
#include "platform/linux/atspi/atspi_applications.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;

namespace pennial {

class AtspiWindowActivations : public std::enable_shared_from_this<AtspiWindowActivations> {
public:
    using Activated = std::function<void(Pid)>;

    using KnownActive = std::function<std::optional<Pid>()>;

    // activated runs on the accessibility thread with the process of each window reported active,
    // of each found active after its application did something while knownActive named another,
    // and once at start for the window found active then, if any.
    static std::shared_ptr<AtspiWindowActivations> start(Activated activated,
                                                         KnownActive knownActive);
    ~AtspiWindowActivations();
    AtspiWindowActivations(const AtspiWindowActivations&) = delete;
    AtspiWindowActivations& operator=(const AtspiWindowActivations&) = delete;

private:
    AtspiWindowActivations(Activated activated, KnownActive knownActive);
    static void onEvent(AtspiEvent* event, void* self);
    void findActive();
    // The application of accessible did something in a window; on the thread, outside any event.
    void activityIn(const std::shared_ptr<AtspiAccessible>& accessible);
    std::optional<Pid> processByBusName(AtspiAccessible* accessible);

    Activated activated_;
    ActiveWindowSearch search_;
    AtspiApplications applications_;
    std::map<std::string, Pid> processes_; // by bus name
    Pid ownPid_;
    AtspiEventListener* listener_ = nullptr;
};

} // namespace pennial
