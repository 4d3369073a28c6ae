#include "platform/sim/sim_clock.hpp"

#include <thread>

namespace pennial {

SimClock::SimClock(SimTime mode) : mode_(mode), start_(Clock::now()) {}

SimClock::Clock::time_point SimClock::now() const {
    if (mode_ == SimTime::real)
        return Clock::now();
    return start_ + Clock::duration(elapsed_.load());
}

void SimClock::pass(Clock::duration duration) {
    if (duration <= Clock::duration::zero())
        return;
    if (mode_ == SimTime::simulated) {
        elapsed_ += duration.count();
        return;
    }
    // Sleeping overshoots by tens of microseconds, more than a whole call costs: sleep the bulk,
    // then spin out the rest.
    const auto end = Clock::now() + duration;
    constexpr auto spinMargin = std::chrono::microseconds(200);
    if (duration > spinMargin)
        std::this_thread::sleep_for(duration - spinMargin);
    while (Clock::now() < end) {
    }
}

} // namespace pennial
