#include "platform/linux/own_key_grab.hpp"

#include <atomic>

namespace pennial::own_key_grab {

namespace {
using Clock = std::chrono::steady_clock;
std::atomic<Clock::rep> lastPress{Clock::time_point::min().time_since_epoch().count()};
} // namespace

void pressed() {
    lastPress = Clock::now().time_since_epoch().count();
}

bool explains(Clock::time_point reportedAt) {
    const Clock::time_point press{Clock::duration(lastPress.load())};
    return reportedAt >= press && reportedAt - press <= aftermath;
}

} // namespace pennial::own_key_grab
