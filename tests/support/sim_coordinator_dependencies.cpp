#include "support/sim_coordinator_dependencies.hpp"

#include "platform/sim/recording_crash_reporter.hpp"
#include "platform/sim/sim_environment.hpp"
#include "platform/sim/sim_move_to_applications.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "platform/sim/sim_updater.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "support/app_fake_card_windows.hpp"
#include "support/app_fake_notch_passcode_panel.hpp"
#include "support/app_fake_onboarding_window.hpp"
#include "support/app_fake_spinner_overlay.hpp"
#include "support/app_fake_text_monitor.hpp"
#include "support/app_fake_window_focus.hpp"

namespace pennial::testing {

CoordinatorDependencies simCoordinatorDependencies(SimDesktop& desktop, Executor main,
                                                   std::filesystem::path configFile) {
    CoordinatorDependencies dependencies;
    dependencies.main = main;
    dependencies.accessibility = desktop.accessibility();
    dependencies.workspace = desktop.workspace();
    dependencies.screens = desktop.screens();
    dependencies.keyEvents = desktop.keyboard().eventSource(main);
    dependencies.secretStore = std::make_shared<SimSecretStore>();
    dependencies.userDefaults = std::make_shared<SimUserDefaults>();
    dependencies.environment = std::make_shared<SimEnvironment>();
    dependencies.crashReporter = std::make_shared<RecordingCrashReporter>();
    dependencies.updater = std::make_shared<SimUpdater>();
    dependencies.moveToApplications = std::make_shared<SimMoveToApplications>();
    dependencies.spinner = std::make_shared<FakeSpinnerOverlay>();
    dependencies.notchPasscodePanel = std::make_shared<FakeNotchPasscodePanel>();
    dependencies.onboardingWindow = std::make_shared<FakeOnboardingWindow>();
    dependencies.cardWindows = std::make_shared<FakeCardWindowFactory>();
    dependencies.windowFocus = std::make_shared<FakeWindowFocus>();
    dependencies.makeTextMonitor = [](std::shared_ptr<AccessibilityMonitor>, std::string pattern) {
        return std::make_shared<FakeTextMonitor>(std::move(pattern));
    };
    // Nothing listens there: a test that needs the backend gives its own address or client.
    dependencies.endpoints = {"http://127.0.0.1:9", "http://127.0.0.1:9", "test-key"};
    dependencies.configFile = std::move(configFile);
    return dependencies;
}

} // namespace pennial::testing
