#pragma once
// Rebuilds what the user types into the frontmost application from key-downs, for applications
// that show a focused field but refuse to hand out its text. It decides nothing about triggers:
// after each change it reports the whole rebuilt text with the frontmost application's process id.
// Lives on the main executor.

#include "base/runtime.hpp"
#include "platform/keyboard.hpp"
#include "platform/subscription.hpp"
#include "platform/workspace.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace pennial {

class KeyboardTriggerMonitor : public std::enable_shared_from_this<KeyboardTriggerMonitor> {
public:
    // Called on the main executor with the rebuilt text and the process it belongs to.
    using TextHandler = std::function<void(const std::string& text, Pid processID)>;

    struct Facilities {
        std::shared_ptr<KeyEventSource> keyEvents;
        std::shared_ptr<Workspace> workspace;
        Executor mainExecutor;
    };

    // Enough for a trigger typed at the end of a line, small enough that every report, and the
    // evaluation it causes, stays cheap however long the user types.
    static constexpr std::size_t maxTrackedCharacters = 256;

    KeyboardTriggerMonitor(TextHandler onTextChanged, Facilities facilities);

    // Callable from any thread; the work runs on the main executor.
    void start();
    void stop();
    // While a password field has focus nothing typed is kept or reported, and what was kept before
    // is dropped. Callable from any thread.
    void setSecureFieldFocused(bool focused);

    // Main executor only.
    void resetForActiveApp();
    void handle(const KeyDownEvent& event);

private:
    void startNow();
    void stopNow();
    void trimIfNeeded();
    void report();

    TextHandler onTextChanged_;
    Facilities facilities_;
    bool eventMonitor_ = false; // key-downs are being observed
    Subscription activationObserver_;
    Pid currentPID_ = 0;
    std::string recentText_;
    bool secureFieldFocused_ = false;
};

} // namespace pennial
