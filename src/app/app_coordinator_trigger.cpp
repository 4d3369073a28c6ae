// The trigger road as far as this layer has it: the monitor's errors, an expired session, and the
// palette state that an application switch clears. The pipeline itself and the palette's rows and
// keys are filled in by their own work.

#include "app/app_coordinator.hpp"
#include "base/error_text.hpp"
#include "services/auth_service.hpp"

namespace pennial {

Awaitable<void> AppCoordinator::handleTrigger(std::string, std::string, std::optional<long long>) {
    // To be filled in by the trigger pipeline.
    co_return;
}

Awaitable<void> AppCoordinator::handleTriggerQueryUpdate(std::optional<std::string>, std::string,
                                                         std::optional<long long>, bool) {
    // To be filled in by the command palette.
    co_return;
}

Awaitable<void> AppCoordinator::handleError(std::exception_ptr error) {
    auto description = describeError(error);
    publish([&](CoordinatorState& state) {
        state.lastError = description;
        state.statusMessage = "Ready";
    });
    stopPaletteKeyControl();
    hideOverlayUnlessPreviewing();
    co_return;
}

Awaitable<void> AppCoordinator::handleAuthExpired() {
    co_await authService_->signOut();
    publish([](CoordinatorState& state) {
        state.isAuthenticated = false;
        state.lastError = "Session expired. Please sign in again.";
    });
    userEmail_.reset();
    co_await stopMonitoring();
    refreshOnboardingPresentation();
}

void AppCoordinator::cancelPaletteOnAppSwitch() {
    if (activeTriggerFullPattern_)
        clearPaletteState();
}

void AppCoordinator::clearPaletteState() {
    activeTriggerFullPattern_.reset();
    activeTriggerOffset_.reset();
    activeTriggerQuery_.clear();
    activeSuggestions_.clear();
    selectedSuggestionIndex_ = 0;
    stopPaletteKeyControl();
    spinner_->hide();
}

void AppCoordinator::stopPaletteKeyControl() {
    // The palette's key interception arrives with the palette's keyboard control.
}

} // namespace pennial
