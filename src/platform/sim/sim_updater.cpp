#include "platform/sim/sim_updater.hpp"

#include <stdexcept>

namespace pennial {

void SimUpdater::startUpdater() {
    std::lock_guard lock(mutex_);
    ++starts_;
    if (startFailure_)
        throw std::runtime_error(*startFailure_);
}

void SimUpdater::checkForUpdates() {
    std::lock_guard lock(mutex_);
    ++checks_;
}

bool SimUpdater::canCheckForUpdates() const {
    std::lock_guard lock(mutex_);
    return canCheck_;
}

void SimUpdater::setCanCheckForUpdatesHandler(std::function<void(bool)> handler) {
    std::lock_guard lock(mutex_);
    canCheckHandler_ = std::move(handler);
}

void SimUpdater::setUpdateFoundHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    updateFoundHandler_ = std::move(handler);
}

void SimUpdater::failStart(std::string message) {
    std::lock_guard lock(mutex_);
    startFailure_ = std::move(message);
}

void SimUpdater::setCanCheckForUpdates(bool canCheck) {
    std::function<void(bool)> handler;
    {
        std::lock_guard lock(mutex_);
        if (canCheck_ == canCheck)
            return;
        canCheck_ = canCheck;
        handler = canCheckHandler_;
    }
    if (handler)
        handler(canCheck);
}

void SimUpdater::reportUpdateFound() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        handler = updateFoundHandler_;
    }
    if (handler)
        handler();
}

int SimUpdater::startCount() const {
    std::lock_guard lock(mutex_);
    return starts_;
}

int SimUpdater::checkCount() const {
    std::lock_guard lock(mutex_);
    return checks_;
}

} // namespace pennial
