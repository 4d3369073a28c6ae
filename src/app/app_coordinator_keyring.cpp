// A keyring that is locked, or does not answer in time, at start-up does not mean the user is
// signed out: the stored session is asked for again until the keyring answers.

#include "app/app_coordinator.hpp"
#include "app/sign_in_result.hpp"
#include "base/log.hpp"
#include "services/auth_service.hpp"

namespace pennial {

Awaitable<void> AppCoordinator::restoreSessionOnceKeyringAnswers() {
    while (co_await authService_->storedSessionUndecided()) {
        if (co_await sleepFor(timings_.keyringRetryInterval) == SleepResult::cancelled)
            co_return;
        if (isAuthenticated()) // signed in by hand meanwhile
            co_return;
        auto session = co_await authService_->loadExistingSession();
        co_await noteUnreadableKeyring();
        if (!session || isAuthenticated())
            continue;
        // What start-up does with a restored session, once start-up itself has ended.
        while (startupTask_.isRunning())
            if (co_await sleepFor(std::chrono::milliseconds(20)) == SleepResult::cancelled)
                co_return;
        publish([](CoordinatorState& state) { state.isAuthenticated = true; });
        userEmail_ = session->userEmail;
        logf("✅ [Pennial] Restored auth session for {}", session->userEmail);
        addStartBreadcrumb("Auth session restored");
        co_await pullRemoteData();
        if (hasPermissions())
            co_await startMonitoring();
        refreshOnboardingPresentation();
        co_return;
    }
}

Awaitable<void> AppCoordinator::noteUnreadableKeyring() {
    const auto status = co_await authService_->storedSessionUnreadable();
    publish([&](CoordinatorState& state) {
        state.signInNotice =
            status ? std::optional(keyringSessionReadMessage(*status)) : std::nullopt;
    });
}

} // namespace pennial
