#pragma once
// The real text monitor behind the coordinator's seam.

#include "app/text_monitor_control.hpp"
#include "text/text_monitor.hpp"

namespace pennial {

class TextMonitorAdapter final : public TextMonitorControl {
public:
    explicit TextMonitorAdapter(std::shared_ptr<TextMonitor> monitor)
        : monitor_(std::move(monitor)) {}

    Awaitable<void> setDelegate(std::weak_ptr<TextMonitorDelegate> delegate) override {
        return monitor_->setDelegate(std::move(delegate));
    }
    Awaitable<void> updateTriggerPattern(std::string pattern) override {
        return monitor_->updateTriggerPattern(std::move(pattern));
    }
    Awaitable<void> updateValidCommandNames(std::set<std::string> names) override {
        return monitor_->updateValidCommandNames(std::move(names));
    }
    Awaitable<void> updateAllowOwnProcessInputMonitoring(bool allow) override {
        return monitor_->updateAllowOwnProcessInputMonitoring(allow);
    }
    Awaitable<void> startMonitoring() override { return monitor_->startMonitoring(); }
    Awaitable<void> stopMonitoring() override { return monitor_->stopMonitoring(); }
    Awaitable<bool> isMonitoring() override { return monitor_->isMonitoring(); }
    Awaitable<void> commandCompleted(std::string commandName) override {
        return monitor_->commandCompleted(std::move(commandName));
    }
    Awaitable<void> commandFailed(std::string commandName) override {
        return monitor_->commandFailed(std::move(commandName));
    }

    const std::shared_ptr<TextMonitor>& monitor() const { return monitor_; }

private:
    std::shared_ptr<TextMonitor> monitor_;
};

} // namespace pennial
