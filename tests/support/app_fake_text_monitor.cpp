#include "app_fake_text_monitor.hpp"

#include "base/task.hpp"

namespace pennial::testing {

Awaitable<void> FakeTextMonitor::setDelegate(std::weak_ptr<TextMonitorDelegate> newDelegate) {
    delegate = std::move(newDelegate);
    calls.push_back("setDelegate");
    co_return;
}

Awaitable<void> FakeTextMonitor::updateTriggerPattern(std::string pattern) {
    calls.push_back("pattern " + pattern);
    triggerPattern = std::move(pattern);
    co_return;
}

Awaitable<void> FakeTextMonitor::updateValidCommandNames(std::set<std::string> names) {
    calls.push_back("names");
    nameUpdates.push_back(names);
    validCommandNames = std::move(names);
    co_return;
}

Awaitable<void> FakeTextMonitor::updateAllowOwnProcessInputMonitoring(bool allow) {
    calls.push_back(allow ? "allowOwnProcess true" : "allowOwnProcess false");
    allowOwnProcessUpdates.push_back(allow);
    co_return;
}

Awaitable<void> FakeTextMonitor::startMonitoring() {
    ++startCalls;
    calls.push_back("start");
    if (onStart)
        onStart();
    if (startDelay.count() > 0)
        co_await sleepFor(startDelay);
    if (startFailure)
        std::rethrow_exception(startFailure);
    monitoring = true;
}

Awaitable<void> FakeTextMonitor::stopMonitoring() {
    ++stopCalls;
    calls.push_back("stop");
    monitoring = false;
    co_return;
}

Awaitable<bool> FakeTextMonitor::isMonitoring() {
    co_return monitoring;
}

Awaitable<void> FakeTextMonitor::commandCompleted(std::string commandName) {
    completed.push_back(std::move(commandName));
    co_return;
}

Awaitable<void> FakeTextMonitor::commandFailed(std::string commandName) {
    failed.push_back(std::move(commandName));
    co_return;
}

Awaitable<void> FakeTextMonitor::sendTrigger(std::string commandName, std::string fullPattern,
                                             std::optional<long long> triggerOffset) {
    if (auto receiver = delegate.lock())
        co_await receiver->handleTrigger(std::move(commandName), std::move(fullPattern),
                                         triggerOffset);
}

Awaitable<void> FakeTextMonitor::sendQueryUpdate(std::optional<std::string> fullPattern,
                                                 std::string query,
                                                 std::optional<long long> triggerOffset,
                                                 bool hasTextBeforeTrigger) {
    if (auto receiver = delegate.lock())
        co_await receiver->handleTriggerQueryUpdate(std::move(fullPattern), std::move(query),
                                                    triggerOffset, hasTextBeforeTrigger);
}

Awaitable<void> FakeTextMonitor::sendError(std::exception_ptr error) {
    if (auto receiver = delegate.lock())
        co_await receiver->handleError(std::move(error));
}

} // namespace pennial::testing
