#include "platform/linux/atspi/atspi_call.hpp"

#include "platform/linux/atspi/atspi_thread.hpp"

#include <algorithm>
#include <atspi/atspi.h>
#include <cmath>
#include <string_view>

namespace pennial {

namespace {

// The bus reports a reply that never came in words, not in a code the library passes on.
bool saysTimedOut(std::string_view message) {
    for (std::string_view words : {"Did not receive a reply", "NoReply", "Timeout", "timed out"})
        if (message.find(words) != std::string_view::npos)
            return true;
    return false;
}

} // namespace

AtspiCall::AtspiCall(Timeout timeout, Timeout fallback)
    : timeout_(timeout > Timeout::zero() ? timeout : fallback) {
    applyTimeout();
}

void AtspiCall::keepConnectionsOnThisThread() {
    if (auto& thread = AtspiThread::instance(); thread.isCurrent())
        thread.keepConnectionsHere();
}

void AtspiCall::applyTimeout() const {
    // Applications that have just started get no grace period: the caller's time-out holds.
    const auto milliseconds = std::lround(std::max(1.0, timeout_.count() * 1000.0));
    atspi_set_timeout(static_cast<gint>(std::min<long>(milliseconds, G_MAXINT)), -1);
}

std::optional<AXError> AtspiCall::settle(GError* error,
                                         std::chrono::steady_clock::duration elapsed) {
    const bool ranOut = elapsed >= timeout_;
    std::optional<AXError> outcome;
    if (error) {
        const std::string_view message = error->message ? error->message : "";
        outcome =
            ranOut || saysTimedOut(message) ? AXError::cannotComplete : AXError::invalidUIElement;
        g_error_free(error);
    } else if (ranOut) {
        outcome = AXError::cannotComplete;
    }
    if (outcome && !failure_)
        failure_ = outcome;
    return outcome;
}

} // namespace pennial
