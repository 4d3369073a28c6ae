#include "platform/linux/atspi_focus_snapshot.hpp"

#include <utility>

namespace pennial {

std::optional<AtspiFocusSnapshot::Focus> AtspiFocusSnapshot::current() const {
    std::lock_guard lock(mutex_);
    if (!focus_ || std::chrono::steady_clock::now() - publishedAt_ >= maxAge)
        return std::nullopt;
    return focus_;
}

std::uint64_t AtspiFocusSnapshot::generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void AtspiFocusSnapshot::publish(Focus focus, std::uint64_t basedOn) {
    std::optional<Focus> previous; // let go of once the lock is
    std::lock_guard lock(mutex_);
    if (basedOn != generation_)
        return;
    previous = std::exchange(focus_, std::move(focus));
    publishedAt_ = std::chrono::steady_clock::now();
}

void AtspiFocusSnapshot::invalidate() {
    std::optional<Focus> previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(focus_, std::nullopt);
    ++generation_;
}

} // namespace pennial
