// Start-up, monitoring on and off, the application-switch observer and the design preview.

#include "app/app_coordinator.hpp"
#include "app/coordinator_delegate.hpp"
#include "base/error_text.hpp"
#include "base/log.hpp"
#include "services/auth_service.hpp"
#include "services/config_service.hpp"
#include "text/accessibility_monitor.hpp"

#include <set>

namespace pennial {
namespace {

std::set<std::string> namesOf(const std::vector<Command>& commands) {
    std::set<std::string> names;
    for (const auto& command : commands)
        names.insert(command.name);
    return names;
}

} // namespace

Awaitable<void> AppCoordinator::startupTask() {
    logLine("🔵 [Pennial] Initializing coordinator...");
    // Before anything else, so no event of the monitor can come before start-up has begun.
    co_await textMonitor_->setDelegate(std::weak_ptr<TextMonitorDelegate>(delegate_));
    co_await start();
    updateService_->start();
    startSpinnerDesignPreviewIfNeeded();

    if (isAuthenticated() && hasPermissions()) {
        if (!isMonitoring()) {
            logLine("✅ [Pennial] Authenticated and permissions granted - auto-starting monitoring");
            co_await startMonitoring();
        }
    } else if (isAuthenticated()) {
        logLine("⚠️  [Pennial] Permissions not granted - open menu to grant access");
    } else {
        logLine("🔵 [Pennial] Not authenticated - sign-in required");
    }
}

Awaitable<void> AppCoordinator::start() {
    addStartBreadcrumb("App startup began");
    logLine("🔵 [Pennial] Checking accessibility permissions...");
    bool trusted = co_await accessibilityMonitor_->checkPermissions();
    publish([&](CoordinatorState& state) { state.hasPermissions = trusted; });
    co_await textMonitor_->updateAllowOwnProcessInputMonitoring(false);
    if (hasPermissions())
        logLine("✅ [Pennial] Accessibility permissions granted");
    else
        logLine("⚠️  [Pennial] Accessibility permissions not granted");
    addStartBreadcrumb(std::string("Permissions: ") + (hasPermissions() ? "granted" : "denied"));

    // The stored session is only restored once the steps before sign-in are done.
    if (userDefaults_->boolForKey(OnboardingFlags::hasSeenWelcomeOnboarding) && hasPermissions() &&
        userDefaults_->boolForKey(OnboardingFlags::hasSeenVideoIntro)) {
        logf("🔵 [Pennial] Loading auth session (Supabase: {})...", endpoints_.supabaseURL);
        auto session = co_await authService_->loadExistingSession();
        if (!session) {
            logLine("🔵 [Pennial] No existing auth session (or refresh failed)");
            addStartBreadcrumb("No existing auth session");
            co_await noteUnreadableKeyring();
            if (co_await authService_->storedSessionUndecided())
                launch(&AppCoordinator::restoreSessionOnceKeyringAnswers);
        } else {
            publish([](CoordinatorState& state) { state.isAuthenticated = true; });
            userEmail_ = session->userEmail;
            logf("✅ [Pennial] Restored auth session for {}", session->userEmail);
            addStartBreadcrumb("Auth session restored");
            co_await pullRemoteData();
        }
    } else {
        logLine("🔵 [Pennial] Skipping auth restore — pre-sign-in onboarding not complete");
    }

    recordLocalDataOwnerIfUnknown();
    logLine("🔵 [Pennial] Loading configuration...");
    std::optional<AppConfig> config;
    std::exception_ptr loadError;
    try {
        config = co_await configService_->loadConfiguration();
    } catch (...) {
        loadError = std::current_exception();
        if (isCancellation(loadError))
            throw;
    }
    if (config) {
        co_await textMonitor_->updateTriggerPattern(config->triggerPattern);
        co_await textMonitor_->updateValidCommandNames(namesOf(config->commands));
        publish([](CoordinatorState& state) { state.statusMessage = "Configuration loaded"; });
        logLine("✅ [Pennial] Configuration loaded");
        addStartBreadcrumb("Configuration loaded");
    } else {
        // The defaults are in use in memory; the pattern stays the monitor's own ";;".
        co_await textMonitor_->updateValidCommandNames(namesOf(AppConfig::defaultCommands()));
        publish(
            [](CoordinatorState& state) { state.statusMessage = "Using default configuration"; });
        logf("⚠️  [Pennial] Failed to load configuration, using defaults: {}",
             describeError(loadError));
        crashReporter_->captureError(loadError);
    }

    if (!hasPermissions()) {
        publish([](CoordinatorState& state) {
            state.statusMessage = "Accessibility permissions required";
        });
        startPermissionMonitoring();
    }
    logLine("✅ [Pennial] Startup complete");
    addStartBreadcrumb("Startup complete");
    refreshOnboardingPresentation();
    moveToApplications_->promptIfNeeded();
}

Awaitable<void> AppCoordinator::startMonitoring() {
    if (isMonitoring())
        co_return;
    if (!hasPermissions()) {
        logLine("❌ [Pennial] Cannot start monitoring: permissions not granted");
        publish([](CoordinatorState& state) {
            state.lastError = "Accessibility permissions required";
        });
        co_return;
    }
    // On before the monitor has started, so a second start made meanwhile does nothing and the
    // menu shows the new state at once.
    publish([](CoordinatorState& state) { state.isMonitoring = true; });
    logLine("🔵 [Pennial] Starting monitoring...");
    std::exception_ptr failure;
    try {
        co_await textMonitor_->startMonitoring();
    } catch (...) {
        failure = std::current_exception();
    }
    if (isCancellation(failure)) {
        publish([](CoordinatorState& state) { state.isMonitoring = false; });
        std::rethrow_exception(failure);
    }
    if (!failure) {
        logLine("✅ [Pennial] Monitoring started successfully");
        // A desktop that asks the user before lending its keyboard asks now, not at a paste.
        if (keyboardSynthesizer_)
            keyboardSynthesizer_->prepare();
        publish([](CoordinatorState& state) {
            state.statusMessage = "Monitoring active - try typing: ;;polish";
            state.lastError.reset();
        });
        observeAppActivation();
        co_return;
    }
    auto description = describeError(failure);
    logf("❌ [Pennial] Failed to start monitoring: {}", description);
    publish([&](CoordinatorState& state) {
        state.isMonitoring = false;
        state.lastError = "Failed to start monitoring: " + description;
        state.statusMessage = "Monitoring failed";
    });
}

Awaitable<void> AppCoordinator::stopMonitoring() {
    co_await textMonitor_->stopMonitoring();
    bool stillMonitoring = co_await textMonitor_->isMonitoring();
    publish([&](CoordinatorState& state) {
        state.isMonitoring = stillMonitoring;
        state.statusMessage = "Monitoring stopped";
    });
    stopPaletteKeyControl();
    hideOverlayUnlessPreviewing();
    appActivationObserver_.reset();
}

void AppCoordinator::observeAppActivation() {
    appActivationObserver_.reset();
    std::weak_ptr<AppCoordinator> weak = weak_from_this();
    appActivationObserver_ =
        workspace_->observeApplicationActivation(main_, [weak](const RunningApplication&) {
            if (auto self = weak.lock())
                self->cancelPaletteOnAppSwitch();
        });
}

void AppCoordinator::startSpinnerDesignPreviewIfNeeded() {
    if (!spinnerDesignModeAlwaysOn_)
        return;
    spinnerDesignTask_.cancel();
    spinnerDesignTask_ = startTask(runDesignPreview(weak_from_this(), timings_.designPreviewDelay));
}

Awaitable<void> AppCoordinator::runDesignPreview(std::weak_ptr<AppCoordinator> weak,
                                                 std::chrono::steady_clock::duration delay) {
    if (auto self = weak.lock()) {
        std::vector<TemplateSuggestion> rows{
            {"fix", "Fix", false}, {"reply", "Reply", false}, {"short", "Short", false}};
        self->spinner_->showCommandPalette(
            std::move(rows), "", 0, std::nullopt, [](const std::string&) {},
            self->screens_->mainScreen());
    } else {
        co_return;
    }
    co_await sleepFor(delay); // a cancelled wait only ends early
    if (auto self = weak.lock())
        self->spinner_->transitionToProcessing();
}

} // namespace pennial
