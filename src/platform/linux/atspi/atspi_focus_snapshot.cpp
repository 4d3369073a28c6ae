#include "platform/linux/atspi/atspi_focus_snapshot.hpp"

#include "platform/linux/activity/desktop_activity.hpp"

#include <utility>

namespace pennial {

std::shared_ptr<const AtspiFocusSnapshot::Focus> AtspiFocusSnapshot::current() const {
    std::lock_guard lock(mutex_);
    if (!focus_ || std::chrono::steady_clock::now() - publishedAt_ >= maxAge)
        return nullptr;
    return focus_;
}

std::optional<AtspiFocusSnapshot::Held> AtspiFocusSnapshot::held() const {
    std::lock_guard lock(mutex_);
    const auto until = publishedAt_ + maxAge;
    if (!focus_ || std::chrono::steady_clock::now() >= until)
        return std::nullopt;
    return Held{focus_, until};
}

std::uint64_t AtspiFocusSnapshot::generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void AtspiFocusSnapshot::publish(Focus focus, std::uint64_t basedOn) {
    std::shared_ptr<const Focus> previous; // let go of once the lock is
    auto published = std::make_shared<const Focus>(std::move(focus));
    std::lock_guard lock(mutex_);
    if (basedOn != generation_)
        return;
    publishedAt_ = std::chrono::steady_clock::now();
    if (focus_ && *focus_ == *published)
        return;
    previous = std::exchange(focus_, std::move(published));
    DesktopActivity::instance().noteRestChange();
}

void AtspiFocusSnapshot::invalidate() {
    std::shared_ptr<const Focus> previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(focus_, nullptr);
    ++generation_;
    DesktopActivity::instance().noteRestChange();
}

} // namespace pennial
