#pragma once
// What every walk of a context capture works with: the facility it reads through and the
// capture's deadline. Time-outs set through the scope never reach past the deadline.

#include "platform/accessibility.hpp"

#include <chrono>
#include <functional>

namespace pennial {

class CaptureDeadline {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    // The clock is injectable so that tests can run on the simulated desktop's time.
    static CaptureDeadline after(Clock::duration budget, Now now = Clock::now);
    // For walks outside a capture.
    static CaptureDeadline never();

    bool expired() const;
    Clock::duration remaining() const;

private:
    CaptureDeadline(Clock::time_point end, Now now) : end_(end), now_(std::move(now)) {}

    Clock::time_point end_;
    Now now_;
};

class CaptureScope {
public:
    CaptureScope(Accessibility& accessibility, CaptureDeadline deadline)
        : accessibility_(accessibility), deadline_(std::move(deadline)) {}

    Accessibility& accessibility() const { return accessibility_; }
    const CaptureDeadline& deadline() const { return deadline_; }
    bool expired() const { return deadline_.expired(); }

    // Sets the element's messaging time-out, shortened to what is left of the deadline.
    void setTimeout(const AXElement& element, std::chrono::duration<double> timeout) const;

private:
    Accessibility& accessibility_;
    CaptureDeadline deadline_;
};

} // namespace pennial
