// The permission watch: a poll while accessibility access is missing, and the user's request.

#include "app/app_coordinator.hpp"
#include "base/log.hpp"
#include "text/ax_accessibility_provider.hpp"

#include <asio/this_coro.hpp>

namespace pennial {

bool AppCoordinator::isProcessTrusted() const {
    return accessibilityProvider_->checkPermissions();
}

void AppCoordinator::startPermissionMonitoring() {
    permissionCheckTask_.cancel();
    permissionCheckTask_ =
        startTask(runPermissionPoll(weak_from_this(), timings_.permissionPollInterval));
}

Awaitable<void> AppCoordinator::runPermissionPoll(std::weak_ptr<AppCoordinator> weak,
                                                  std::chrono::steady_clock::duration interval) {
    for (;;) {
        auto cancellation = co_await asio::this_coro::cancellation_state;
        if (cancellation.cancelled() != asio::cancellation_type::none)
            co_return;
        // A cancelled wait is not an error: the check still runs, then the loop ends.
        auto slept = co_await sleepFor(interval);
        auto self = weak.lock();
        if (!self)
            co_return;
        if (!self->isProcessTrusted() || self->hasPermissions())
            continue;

        logLine("✅ [Pennial] Permissions detected - auto-starting monitoring");
        self->publish([](CoordinatorState& state) {
            state.hasPermissions = true;
            state.statusMessage = "Permissions granted";
            state.permissionAdvice.reset();
        });
        self->refreshOnboardingPresentation();
        if (self->isAuthenticated() && !self->isMonitoring()) {
            // A cancelled task can await nothing more: the start then runs in a task of its own.
            if (slept == SleepResult::cancelled)
                self->launch(&AppCoordinator::startMonitoring);
            else
                co_await self->startMonitoring();
        }
        co_return;
    }
}

Awaitable<void> AppCoordinator::requestPermissions() {
    const bool wasTrusted = isProcessTrusted();
    accessibilityProvider_->requestPermissions();
    if (!wasTrusted && isProcessTrusted()) {
        // Turned on by the request itself: applications that started before it show no text
        // until they start again, which the user hears of only here. Published at once, before
        // the watch finds the trust and moves on; the step stays, its advice on screen, until the
        // user continues.
        publish([](CoordinatorState& state) {
            state.hasPermissions = true;
            state.statusMessage = "Permissions granted";
            state.permissionAdvice = "Accessibility is on. Restart the applications that were "
                                     "already open, so that Pennial can read their text.";
        });
        if (!isMonitoring())
            co_await startMonitoring();
        co_return;
    }
    if (!hasPermissions())
        startPermissionMonitoring();
    co_await sleepFor(timings_.permissionRequestSettle);
    bool trusted = isProcessTrusted();
    publish([&](CoordinatorState& state) {
        state.hasPermissions = trusted;
        state.statusMessage = trusted ? "Permissions granted"
                                      : "Turn on accessibility in your desktop's settings - "
                                        "will auto-detect when it is on";
        state.permissionAdvice = permissionAdviceAfterRequest(trusted);
    });
    // Trust lost since it was last checked: nothing was polling for it yet, and the status just
    // promised that its return will be noticed.
    if (!trusted && !permissionCheckTask_.isRunning())
        startPermissionMonitoring();
    if (trusted && !isMonitoring())
        co_await startMonitoring();
    refreshOnboardingPresentation();
}

std::optional<std::string> AppCoordinator::permissionAdviceAfterRequest(bool trusted) const {
    if (trusted)
        return std::nullopt;
    if (accessibilityBusReachable_ && !accessibilityBusReachable_())
        return "The desktop's accessibility bus does not answer: turn on accessibility in your "
               "desktop's settings, then sign out and back in.";
    return "Accessibility is off: turn it on in your desktop's settings, and Pennial notices it.";
}

} // namespace pennial
