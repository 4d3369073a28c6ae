#pragma once
// A text monitor that records what the coordinator tells it and lets a test send the events a
// real one would, awaiting the coordinator's handling as the real loop does.

#include "app/text_monitor_control.hpp"

#include <chrono>
#include <exception>
#include <functional>
#include <vector>

namespace pennial::testing {

class FakeTextMonitor final : public TextMonitorControl {
public:
    explicit FakeTextMonitor(std::string pattern = ";;") : triggerPattern(std::move(pattern)) {}

    Awaitable<void> setDelegate(std::weak_ptr<TextMonitorDelegate> delegate) override;
    Awaitable<void> updateTriggerPattern(std::string pattern) override;
    Awaitable<void> updateValidCommandNames(std::set<std::string> names) override;
    Awaitable<void> updateAllowOwnProcessInputMonitoring(bool allow) override;
    Awaitable<void> startMonitoring() override;
    Awaitable<void> stopMonitoring() override;
    Awaitable<bool> isMonitoring() override;
    Awaitable<void> commandCompleted(std::string commandName) override;
    Awaitable<void> commandFailed(std::string commandName) override;

    // Events as the polling loop sends them; each returns once the delegate is done (at once when
    // it is gone).
    Awaitable<void> sendTrigger(std::string commandName, std::string fullPattern,
                                std::optional<long long> triggerOffset);
    Awaitable<void> sendQueryUpdate(std::optional<std::string> fullPattern, std::string query,
                                    std::optional<long long> triggerOffset,
                                    bool hasTextBeforeTrigger);
    Awaitable<void> sendError(std::exception_ptr error);

    std::weak_ptr<TextMonitorDelegate> delegate;
    std::string triggerPattern;
    std::set<std::string> validCommandNames;
    std::vector<std::set<std::string>> nameUpdates;
    std::vector<bool> allowOwnProcessUpdates;
    bool monitoring = false;
    int startCalls = 0;
    int stopCalls = 0;
    std::vector<std::string> completed;
    std::vector<std::string> failed;
    // Every operation in order ("setDelegate", "pattern ;;", "names", "start", ...).
    std::vector<std::string> calls;

    // Called as a start begins.
    std::function<void()> onStart;
    // The next starts throw this.
    std::exception_ptr startFailure;
    // How long a start takes before it answers.
    std::chrono::milliseconds startDelay{0};
};

} // namespace pennial::testing
