#pragma once
// The bridge through which the text monitor reaches the coordinator. The monitor holds it weakly
// and the coordinator strongly, so the monitor never keeps the coordinator alive; each event runs
// on the main executor with the coordinator held for the call, and is dropped once it is gone.

#include "text/text_monitor_delegate.hpp"

#include <memory>

namespace pennial {

class AppCoordinator;

class CoordinatorDelegate final : public TextMonitorDelegate {
public:
    CoordinatorDelegate(std::weak_ptr<AppCoordinator> coordinator, Executor main);

    Awaitable<void> handleTrigger(std::string commandName, std::string fullPattern,
                                  std::optional<long long> triggerOffset) override;
    Awaitable<void> handleTriggerQueryUpdate(std::optional<std::string> fullPattern,
                                             std::string query,
                                             std::optional<long long> triggerOffset,
                                             bool hasTextBeforeTrigger) override;
    Awaitable<void> handleError(std::exception_ptr error) override;

private:
    std::weak_ptr<AppCoordinator> coordinator_;
    Executor main_;
};

} // namespace pennial
