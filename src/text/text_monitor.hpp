#pragma once
// The system's main loop. While monitoring, it polls the focused field, feeds its text to the
// trigger state machine and hands the effects to its delegate, awaiting each call before it goes
// on; an application that refuses a field's text is switched to the keyboard fallback. An actor:
// its operations run one at a time on its strand, and may run wherever the loop awaits (so a
// command reported completed from inside the delegate's trigger handling lands before the next
// poll).

#include "base/runtime.hpp"
#include "base/task.hpp"
#include "platform/field_activity.hpp"
#include "platform/keyboard.hpp"
#include "platform/workspace.hpp"
#include "text/accessibility_monitor.hpp"
#include "text/keyboard_trigger_monitor.hpp"
#include "text/text_monitor_delegate.hpp"
#include "text/trigger_state_machine.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace pennial {

class TextMonitor : public Actor, public std::enable_shared_from_this<TextMonitor> {
    struct Token {};

public:
    using Duration = std::chrono::steady_clock::duration;
    // How the loop waits between polls. A wait the loop is asked to cut short (on stop) must end
    // at once.
    using Sleep = std::function<Awaitable<SleepResult>(Duration)>;
    using RestingWait = std::function<Awaitable<SleepResult>(Duration, std::function<bool()>)>;

    struct Facilities {
        std::shared_ptr<Workspace> workspace;
        std::shared_ptr<KeyEventSource> keyEvents;
        Executor mainExecutor;
        Sleep sleep = sleepFor;
        // Hints that the focused field changed: each cuts the wait before the next poll short.
        // None: the loop polls on its interval alone.
        std::shared_ptr<FieldActivity> fieldActivity;
        // Waits out, tick after tick, the polls that would change nothing, asking the check given
        // at each tick (from any thread). None: the loop sleeps each tick and checks itself.
        RestingWait restingWait;
    };

    // Measured from the end of one poll's work to the start of the next, unless activity in the
    // field starts the next poll sooner (at most one poll runs, and one more waits, at a time).
    static constexpr std::chrono::milliseconds pollInterval{100};
    // Lines about persistent conditions are printed on one poll in so many.
    static constexpr long cannotReadLogEvery = 30;
    static constexpr long stillMonitoringLogEvery = 300;

    // The monitor is always shared: the loop and the keyboard fallback hold it weakly.
    static std::shared_ptr<TextMonitor>
    create(std::shared_ptr<AccessibilityMonitor> accessibilityMonitor, std::string triggerPattern,
           Facilities facilities, Executor base = sharedPool().get_executor());
    TextMonitor(Token, std::shared_ptr<AccessibilityMonitor> accessibilityMonitor,
                std::string triggerPattern, Facilities facilities, Executor base);
    ~TextMonitor() override;

    Awaitable<void> setDelegate(std::weak_ptr<TextMonitorDelegate> delegate);
    Awaitable<std::string> getTriggerPattern();
    // Forgets what was fired and seen, so the field is evaluated afresh under the new pattern.
    Awaitable<void> updateTriggerPattern(std::string pattern);
    Awaitable<void> updateValidCommandNames(std::set<std::string> names);
    Awaitable<void> updateAllowOwnProcessInputMonitoring(bool allow);
    // Both release the command's name. Neither re-evaluates an unchanged field: a failed command
    // runs again only once the field has changed.
    Awaitable<void> commandFailed(std::string name);
    Awaitable<void> commandCompleted(std::string name);
    Awaitable<bool> isMonitoring();
    // Throws AccessibilityError permissionDenied, and stays stopped, when this process is not
    // trusted for accessibility. Starting while monitoring does nothing.
    Awaitable<void> startMonitoring();
    // A delegate call in progress finishes (with the rest of its poll's effects); no poll follows.
    Awaitable<void> stopMonitoring();

private:
    struct PollingLoop;

    static Awaitable<void> runLoop(std::weak_ptr<TextMonitor> weak,
                                   std::shared_ptr<PollingLoop> loop);
    static void onFallbackText(const std::weak_ptr<TextMonitor>& weak, std::string text, Pid pid);
    static Awaitable<void> handleFallbackReport(std::shared_ptr<TextMonitor> self, std::string text,
                                                Pid pid);

    Awaitable<void> startNow();
    void stopNow();
    void releaseCommand(const std::string& name);

    Awaitable<void> poll(PollingLoop& loop);
    Awaitable<void> evaluateWithoutText(const AccessibleElement& element, Pid pid,
                                        PollingLoop& loop);
    Awaitable<void> handleFailure(std::exception_ptr failure, PollingLoop& loop);
    Awaitable<bool> focusIsSecure(const AccessibleElement& element);
    void noteSecureFocus(bool secure);
    bool acceptsFallbackReport(Pid pid) const;
    Awaitable<void> dispatch(std::vector<Effect> effects);
    // After a poll: a report held while it read the field is evaluated when the fallback is on
    // again for its application, and dropped when the field could be read.
    void releaseHeldFallbackReport(const std::shared_ptr<TextMonitor>& self);
    // Whether a poll now would read what the last one read and do nothing, as the platform can
    // tell without reading: the tick is then skipped.
    bool atRest(const PollingLoop& loop) const;
    // After a poll that changed nothing: the loop rests while the platform's mark, taken now,
    // still holds what it held when the poll began (serialBefore).
    void restAt(PollingLoop& loop, std::optional<std::uint64_t> serialBefore,
                std::uint64_t changesBefore);
    void restAfterFailure(const std::exception_ptr& failure, PollingLoop& loop,
                          std::optional<std::uint64_t> serialBefore, std::uint64_t changesBefore);
    // At rest, the check a resting wait makes at each tick (counting in passed the ticks that
    // found the loop still at rest); none when not at rest or without a resting wait.
    std::function<bool()> restingCheck(const PollingLoop& loop,
                                       std::shared_ptr<std::atomic<long>> passed) const;

    std::shared_ptr<AccessibilityMonitor> accessibilityMonitor_;
    std::weak_ptr<TextMonitorDelegate> delegate_;
    bool monitoring_ = false;
    std::shared_ptr<PollingLoop> monitoringTask_;
    Subscription fieldActivity_; // while monitoring
    bool allowOwnProcessInputMonitoring_ = false;
    std::optional<Pid> keyboardFallbackProcessID_;
    std::shared_ptr<KeyboardTriggerMonitor> keyboardFallbackMonitor_;
    TriggerStateMachine stateMachine_;

    Facilities facilities_;
    Pid ownProcessID_ = 0;
    std::uint64_t startAttempts_ = 0;
    // Password fields: their text is never read, and typing into them never reaches detection.
    bool secureFieldFocused_ = false;
    // Each fallback report carries the whole rebuilt text, so one overtaken by a newer report
    // while it was being checked is dropped.
    std::uint64_t fallbackReportsReceived_ = 0;
    std::uint64_t lastFallbackReportEvaluated_ = 0;
    // A poll clears the fallback while it reads the field: a report for the application it
    // followed until then waits here, and is evaluated when the read fails again.
    std::optional<Pid> fallbackInDoubt_;
    std::optional<std::pair<std::string, Pid>> heldFallbackReport_;
    // Counts the operations and fallback reports that may change what a poll does; read by a
    // resting wait's check on its own thread.
    std::shared_ptr<std::atomic<std::uint64_t>> stateChanges_ =
        std::make_shared<std::atomic<std::uint64_t>>(0);
};

} // namespace pennial
