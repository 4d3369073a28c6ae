#pragma once
// What the coordinator asks of the text monitor: its delegate, the pattern and command names it
// detects, starting and stopping, and the outcome of each command it reported. A seam, so tests
// can put a scripted monitor in the real one's place.

#include "text/text_monitor_delegate.hpp"

#include <memory>
#include <set>
#include <string>

namespace pennial {

class TextMonitorControl {
public:
    virtual ~TextMonitorControl() = default;

    // Held weakly: events are dropped once the delegate is gone.
    virtual Awaitable<void> setDelegate(std::weak_ptr<TextMonitorDelegate> delegate) = 0;
    virtual Awaitable<void> updateTriggerPattern(std::string pattern) = 0;
    virtual Awaitable<void> updateValidCommandNames(std::set<std::string> names) = 0;
    virtual Awaitable<void> updateAllowOwnProcessInputMonitoring(bool allow) = 0;
    // Throws (AccessibilityError::permissionDenied, ...) when monitoring cannot start.
    virtual Awaitable<void> startMonitoring() = 0;
    virtual Awaitable<void> stopMonitoring() = 0;
    virtual Awaitable<bool> isMonitoring() = 0;
    virtual Awaitable<void> commandCompleted(std::string commandName) = 0;
    virtual Awaitable<void> commandFailed(std::string commandName) = 0;
};

} // namespace pennial
