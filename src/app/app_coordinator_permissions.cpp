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
    accessibilityProvider_->requestPermissions();
    if (!hasPermissions())
        startPermissionMonitoring();
    co_await sleepFor(timings_.permissionRequestSettle);
    bool trusted = isProcessTrusted();
    publish([&](CoordinatorState& state) {
        state.hasPermissions = trusted;
        state.statusMessage = trusted ? "Permissions granted"
                                      : "Turn on accessibility in your desktop's settings - "
                                        "will auto-detect when it is on";
    });
    // Trust lost since it was last checked: nothing was polling for it yet, and the status just
    // promised that its return will be noticed.
    if (!trusted && !permissionCheckTask_.isRunning())
        startPermissionMonitoring();
    if (trusted && !isMonitoring())
        co_await startMonitoring();
    refreshOnboardingPresentation();
}

} // namespace pennial
