#include "text/capture_scope.hpp"

#include <algorithm>

namespace pennial {

namespace {
// A time-out of zero means "the default" to the platform, so a spent budget still gets a short one;
// the walks stop at their next element anyway.
constexpr std::chrono::duration<double> shortestTimeout{0.001};
} // namespace

CaptureDeadline CaptureDeadline::after(Clock::duration budget, Now now) {
    auto end = now() + budget;
    return CaptureDeadline(end, std::move(now));
}

CaptureDeadline CaptureDeadline::never() {
    return CaptureDeadline(Clock::time_point::max(), Clock::now);
}

bool CaptureDeadline::expired() const {
    return end_ != Clock::time_point::max() && now_() >= end_;
}

CaptureDeadline::Clock::duration CaptureDeadline::remaining() const {
    if (end_ == Clock::time_point::max())
        return Clock::duration::max();
    return std::max(end_ - now_(), Clock::duration::zero());
}

void CaptureScope::setTimeout(const AXElement& element,
                              std::chrono::duration<double> timeout) const {
    auto remaining = deadline_.remaining();
    if (remaining != CaptureDeadline::Clock::duration::max())
        timeout =
            std::max(std::min(timeout, std::chrono::duration<double>(remaining)), shortestTimeout);
    accessibility_.setMessagingTimeout(element, timeout);
}

} // namespace pennial
