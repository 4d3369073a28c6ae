#pragma once
// The attributes callers read and write, answered from the accessibility bus: one request at a
// time, on the accessibility thread, for an element already found. What the bus has no answer for
// (text markers, the flags some toolkits need before they build their trees) is unsupported.

#include "platform/accessibility.hpp"
#include "platform/linux/atspi_applications.hpp"
#include "platform/linux/atspi_call.hpp"
#include "platform/linux/atspi_element.hpp"
#include "platform/linux/atspi_focus_tracker.hpp"
#include "platform/linux/atspi_text.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pennial {

// What the window system knows and the bus does not.
struct AtspiDesktopHooks {
    // The process whose window is active.
    std::function<std::optional<Pid>()> activeWindowProcess;
    // When the active window last changed.
    std::function<std::optional<std::chrono::steady_clock::time_point>()> activeWindowSince;
    // The screen position of the process's top-level window with this title.
    std::function<std::optional<Point>(Pid, const std::string& title)> windowOrigin;
};

class AtspiAttributes {
public:
    explicit AtspiAttributes(AtspiDesktopHooks hooks) : hooks_(std::move(hooks)) {}

    // The element's object, found on first use for an application reference; null for the
    // system-wide element. The call holds the failure when there is none.
    AtspiAccessible* resolve(AtspiCall& call, AtspiElement& element);

    AXResult<AXValue> read(AtspiCall& call, const AtspiElement& element,
                           AtspiAccessible* accessible, std::string_view attribute);
    AXResult<AXValue> readParameterized(AtspiCall& call, AtspiAccessible* accessible,
                                        std::string_view attribute, const AXValue& parameter);
    AXError write(AtspiCall& call, AtspiAccessible* accessible, std::string_view attribute,
                  const AXValue& value);
    AXResult<Pid> processId(AtspiCall& call, AtspiAccessible* accessible);

    std::optional<std::string> applicationName(AtspiCall& call, Pid pid);

private:
    AXResult<AXValue> readSystemWide(AtspiCall& call, std::string_view attribute);
    // The element focus was last reported on, unless the user has gone to another
    // application's window since.
    AtspiAccessible* currentFocus(AtspiCall& call);
    AXResult<AXValue> focusedElementOf(AtspiCall& call, AtspiAccessible* application);
    AXResult<AXValue> readText(AtspiCall& call, AtspiAccessible* accessible,
                               std::string_view attribute);
    AXResult<AXValue> readValue(AtspiCall& call, AtspiAccessible* accessible);
    std::optional<AtspiTextField> textField(AtspiCall& call, AtspiAccessible* accessible);
    AtspiWindowOrigin windowOrigin(AtspiCall& call, AtspiAccessible* accessible);

    AtspiDesktopHooks hooks_;
    AtspiFocusTracker focus_;
    AtspiApplications applications_;
};

} // namespace pennial
