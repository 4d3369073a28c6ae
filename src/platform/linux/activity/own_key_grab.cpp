#include "platform/linux/activity/own_key_grab.hpp"

#include <algorithm>
#include <atomic>

namespace pennial::own_key_grab {

namespace {
using Clock = std::chrono::steady_clock;
// Zero until the first press.
std::atomic<Clock::rep> lastPress{0};
} // namespace

void pressed() {
    lastPress = std::max<Clock::rep>(1, Clock::now().time_since_epoch().count());
}

bool explains(Clock::time_point reportedAt) {
    const auto pressedAt = lastPress.load();
    if (pressedAt == 0)
        return false;
    const Clock::time_point press{Clock::duration(pressedAt)};
    return reportedAt >= press && reportedAt - press <= aftermath;
}

} // namespace pennial::own_key_grab
