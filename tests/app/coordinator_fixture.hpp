#pragma once
// The coordinator on an io_context main thread, over the simulated desktop, the fake backend and
// fake windows: everything a test of the application core needs, with the waits shortened.

#include "app/app_coordinator.hpp"
#include "base/log.hpp"
#include "platform/sim/recording_crash_reporter.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_environment.hpp"
#include "platform/sim/sim_move_to_applications.hpp"
#include "platform/sim/sim_palette_key_interceptor.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "platform/sim/sim_updater.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "services/app_config.hpp"
#include "support/app_fake_card_windows.hpp"
#include "support/app_fake_notch_passcode_panel.hpp"
#include "support/app_fake_onboarding_window.hpp"
#include "support/app_fake_spinner_overlay.hpp"
#include "support/app_fake_text_monitor.hpp"
#include "support/app_fake_window_focus.hpp"
#include "support/fake_backend.hpp"
#include "temp_folder.hpp"

#include <asio/co_spawn.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>

namespace pennial::testing {

class CoordinatorFixture : public ::testing::Test {
protected:
    CoordinatorFixture();
    ~CoordinatorFixture() override;

    // The onboarding steps before sign-in done, as for a returning user.
    void completePreSignInSteps();
    // Every progress flag set.
    void completeAllSteps();
    // A stored session for email, valid for an hour, that the fake backend knows; answers the
    // user's id.
    std::string storeSession(const std::string& email = "ada@example.test");
    void writeConfig(const AppConfig& config);
    void writeConfigText(const std::string& text);
    AppConfig readConfig() const;
    std::filesystem::path configFile() const { return folder / "config.json"; }

    // Builds the coordinator; main has not run yet.
    void build();
    // Builds the coordinator and runs main until the start-up task has ended.
    void launch();
    // Runs main until done() holds; false when the time ran out first.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Runs main for a while, whatever happens.
    void runFor(std::chrono::milliseconds duration);

    template <class T> T await(Awaitable<T> awaitable) {
        std::optional<T> result;
        std::exception_ptr error;
        bool done = false;
        asio::co_spawn(main, std::move(awaitable), [&](std::exception_ptr e, T value) {
            error = e;
            if (!e)
                result = std::move(value);
            done = true;
        });
        EXPECT_TRUE(runUntil([&] { return done; }));
        if (error)
            std::rethrow_exception(error);
        return std::move(*result);
    }
    void await(Awaitable<void> awaitable);

    // The log lines of the coordinator ("[Pennial]"), in order.
    std::vector<std::string> coordinatorLines() const;

    asio::io_context main;
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning;
    TempFolder folder;
    LogCapture log;
    SimDesktop desktop;
    FakeBackend backend;
    std::shared_ptr<SimSecretStore> secrets = std::make_shared<SimSecretStore>();
    std::shared_ptr<SimUserDefaults> defaults = std::make_shared<SimUserDefaults>();
    std::shared_ptr<SimEnvironment> environment = std::make_shared<SimEnvironment>();
    std::shared_ptr<RecordingCrashReporter> crashes = std::make_shared<RecordingCrashReporter>();
    std::shared_ptr<SimUpdater> updater = std::make_shared<SimUpdater>();
    std::shared_ptr<SimMoveToApplications> moveToApplications =
        std::make_shared<SimMoveToApplications>();
    std::shared_ptr<FakeSpinnerOverlay> overlay = std::make_shared<FakeSpinnerOverlay>();
    std::shared_ptr<SimPaletteKeyInterceptor> paletteKeys =
        std::make_shared<SimPaletteKeyInterceptor>(main.get_executor());
    std::shared_ptr<FakeNotchPasscodePanel> panel = std::make_shared<FakeNotchPasscodePanel>();
    std::shared_ptr<FakeOnboardingWindow> onboarding = std::make_shared<FakeOnboardingWindow>();
    std::shared_ptr<FakeCardWindowFactory> cards = std::make_shared<FakeCardWindowFactory>();
    std::shared_ptr<FakeWindowFocus> focus = std::make_shared<FakeWindowFocus>();
    std::shared_ptr<FakeTextMonitor> textMonitor;
    // The product's own text monitor on the simulated desktop instead of the scripted one.
    bool useRealTextMonitor = false;
    // Called with the text monitor as the coordinator makes it, before start-up.
    std::function<void(FakeTextMonitor&)> onTextMonitorMade;
    CoordinatorTimings timings;
    // Called with the dependencies just before the coordinator is made from them.
    std::function<void(CoordinatorDependencies&)> adjustDependencies;
    std::shared_ptr<AppCoordinator> coordinator;
};

} // namespace pennial::testing
