#include "platform/linux/activity/desktop_activity.hpp"

#include <vector>

namespace pennial {

DesktopActivity& DesktopActivity::instance() {
    // Never destroyed: the accessibility thread may report while the process exits.
    static DesktopActivity* activity = new DesktopActivity;
    return *activity;
}

void DesktopActivity::keyPressed() {
    keyPresses_.fetch_add(1, std::memory_order_acq_rel);
    noteRestChange();
    tell();
}

void DesktopActivity::tell() {
    std::vector<std::function<void()>> observers;
    {
        std::lock_guard lock(mutex_);
        observers.assign(observers_.begin(), observers_.end());
    }
    for (auto& observer : observers)
        observer();
}

std::shared_ptr<FieldActivity> desktopActivity() {
    return std::shared_ptr<FieldActivity>(&DesktopActivity::instance(), [](FieldActivity*) {});
}

Subscription DesktopActivity::observe(std::function<void()> onActivity) {
    std::lock_guard lock(mutex_);
    auto position = observers_.insert(observers_.end(), std::move(onActivity));
    return Subscription([this, position] {
        std::lock_guard lock(mutex_);
        observers_.erase(position);
    });
}

} // namespace pennial
