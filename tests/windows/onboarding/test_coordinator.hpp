#pragma once
// A coordinator for the window to hand on to its screens: built over the simulated desktop and
// recording fakes, on a main executor that runs only when a test runs it (runUntil), with its
// permission waits shortened.

#include "app/app_coordinator.hpp"
#include "platform/sim/recording_crash_reporter.hpp"
#include "platform/sim/sim_desktop.hpp"
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
#include "support/scripted_http_client.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <asio/io_context.hpp>
#include <chrono>
#include <functional>

namespace pennial::testing {

class TestCoordinator {
public:
    TestCoordinator() {
        CoordinatorDependencies dependencies;
        dependencies.main = main_.get_executor();
        dependencies.accessibility = desktop_.accessibility();
        dependencies.workspace = desktop_.workspace();
        dependencies.screens = desktop_.screens();
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
        dependencies.keyEvents = desktop_.keyboard().eventSource(main_.get_executor());
        dependencies.makeTextMonitor = [](std::shared_ptr<AccessibilityMonitor>,
                                          std::string pattern) {
            return std::make_shared<FakeTextMonitor>(std::move(pattern));
        };
        dependencies.httpClient = std::make_shared<ScriptedHttpClient>();
        dependencies.authHttpClient = std::make_shared<ScriptedHttpClient>();
        dependencies.timings.permissionPollInterval = std::chrono::milliseconds(20);
        dependencies.timings.permissionRequestSettle = std::chrono::milliseconds(5);
        dependencies.configFile =
            QDir(folder_.path()).filePath(QStringLiteral("config.json")).toStdString();
        coordinator_ = AppCoordinator::create(std::move(dependencies));
    }

    AppCoordinator& operator*() const { return *coordinator_; }
    AppCoordinator* operator->() const { return coordinator_.get(); }
    SimDesktop& desktop() { return desktop_; }
    std::string configFile() const {
        return QDir(folder_.path()).filePath(QStringLiteral("config.json")).toStdString();
    }

    // Runs the main executor, and the Qt events with it, until `done` holds or two seconds pass.
    bool runUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            main_.restart();
            main_.run_for(std::chrono::milliseconds(2));
            QCoreApplication::processEvents();
        }
        return true;
    }

private:
    asio::io_context main_;
    QTemporaryDir folder_;
    SimDesktop desktop_;
    std::shared_ptr<AppCoordinator> coordinator_;
};

} // namespace pennial::testing
