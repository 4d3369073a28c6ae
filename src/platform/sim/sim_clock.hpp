#pragma once
// The simulated desktop's time. Simulated time moves only when a call takes time, so slow
// applications and time-outs cost tests nothing; real time makes calls wait for real (benchmarks).

#include <atomic>
#include <chrono>

namespace pennial {

enum class SimTime { simulated, real };

class SimClock {
public:
    using Clock = std::chrono::steady_clock;

    explicit SimClock(SimTime mode = SimTime::simulated);

    SimTime mode() const { return mode_; }
    Clock::time_point now() const;
    // Lets the duration go by: advances simulated time, or waits that long.
    void pass(Clock::duration duration);

private:
    SimTime mode_;
    Clock::time_point start_;
    std::atomic<Clock::rep> elapsed_{0};
};

} // namespace pennial
