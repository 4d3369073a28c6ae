// The sign-in screen in the real onboarding window, driven by a real coordinator against the fake
// backend: the code is e-mailed, mirrored with the panel at the notch, refused once and accepted,
// and the onboarding moves on to the profile.

#include "app/app_coordinator.hpp"
#include "fake_onboarding_card.hpp"
#include "onboarding_ui_support.hpp"
#include "platform/sim/recording_crash_reporter.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_environment.hpp"
#include "platform/sim/sim_move_to_applications.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "platform/sim/sim_updater.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "services/auth_session.hpp"
#include "sign_in_test_support.hpp"
#include "support/app_fake_card_windows.hpp"
#include "support/app_fake_notch_passcode_panel.hpp"
#include "support/app_fake_spinner_overlay.hpp"
#include "support/app_fake_text_monitor.hpp"
#include "support/app_fake_window_focus.hpp"
#include "support/fake_backend.hpp"
#include "ui/design/focus_tracking_text_field.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_otp_field.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"
#include "windows/onboarding/sign_in_code_step.hpp"
#include "windows/onboarding/sign_in_email_step.hpp"
#include "windows/onboarding/sign_in_link_button.hpp"
#include "windows/onboarding/sign_in_screen.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using namespace std::chrono_literals;
using testing::click;
using testing::typeInto;

class SignInEndToEndTest : public ::testing::Test {
protected:
    SignInEndToEndTest() {
        // A user back after the steps before sign-in, with accessibility granted.
        defaults->setBool("hasSeenWelcomeOnboarding", true);
        defaults->setBool("hasSeenVideoIntro", true);
        desktop.setTrusted(true);

        CoordinatorDependencies dependencies;
        dependencies.main = main.get_executor();
        dependencies.accessibility = desktop.accessibility();
        dependencies.workspace = desktop.workspace();
        dependencies.screens = desktop.screens();
        dependencies.keyEvents = desktop.keyboard().eventSource(main.get_executor());
        dependencies.secretStore = secrets;
        dependencies.userDefaults = defaults;
        dependencies.environment = std::make_shared<SimEnvironment>();
        dependencies.crashReporter = std::make_shared<RecordingCrashReporter>();
        dependencies.updater = std::make_shared<SimUpdater>();
        dependencies.moveToApplications = std::make_shared<SimMoveToApplications>();
        dependencies.spinner = std::make_shared<testing::FakeSpinnerOverlay>();
        dependencies.notchPasscodePanel = panel;
        dependencies.onboardingWindow = window;
        dependencies.cardWindows = std::make_shared<testing::FakeCardWindowFactory>();
        dependencies.windowFocus = std::make_shared<testing::FakeWindowFocus>();
        dependencies.makeTextMonitor = [](std::shared_ptr<AccessibilityMonitor>,
                                          std::string pattern) {
            return std::make_shared<testing::FakeTextMonitor>(std::move(pattern));
        };
        dependencies.endpoints = {backend.baseURL(), backend.baseURL(), "test-publishable-key"};
        dependencies.configFile =
            QDir(folder.path()).filePath(QStringLiteral("config.json")).toStdString();
        dependencies.timings.notchPanelDelay = 10ms;
        dependencies.timings.keyringRetryInterval = 20ms;
        coordinator = AppCoordinator::create(std::move(dependencies));
    }
    ~SignInEndToEndTest() override {
        window->model().resendCountdown.cancel();
        coordinator.reset();
        runFor(5ms);
    }

    // Runs the coordinator's main executor and the window's events together.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            main.run_one_for(1ms);
            QCoreApplication::processEvents();
            testing::runDeferredDeletes();
        }
        return true;
    }
    void runFor(std::chrono::milliseconds duration) {
        runUntil([] { return false; }, duration);
    }

    OnboardingModel& model() { return window->model(); }
    SignInScreen* screen() {
        if (!cards.last() || !cards.last()->content)
            return nullptr;
        auto* view = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
        return view ? dynamic_cast<SignInScreen*>(view->currentScreen()) : nullptr;
    }

    asio::io_context main;
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning{main.get_executor()};
    QTemporaryDir folder;
    SimDesktop desktop;
    testing::FakeBackend backend;
    std::shared_ptr<SimSecretStore> secrets = std::make_shared<SimSecretStore>();
    std::shared_ptr<SimUserDefaults> defaults = std::make_shared<SimUserDefaults>();
    std::shared_ptr<testing::FakeNotchPasscodePanel> panel =
        std::make_shared<testing::FakeNotchPasscodePanel>();
    testing::FakeOnboardingCards cards;
    std::shared_ptr<QtOnboardingWindowController> window =
        std::make_shared<QtOnboardingWindowController>(cards.factory());
    std::shared_ptr<AppCoordinator> coordinator;
};

TEST_F(SignInEndToEndTest, SignsInWithTheMailedCodeAndMovesOnToTheProfile) {
    ASSERT_TRUE(runUntil([&] { return screen() != nullptr; }));
    SignInScreen* signIn = screen();

    typeInto(signIn->emailStep()->emailField()->lineEdit(), QStringLiteral("ada@example.test"));
    click(signIn->emailStep()->sendButton());
    ASSERT_TRUE(runUntil([&] { return signIn->codeStep() != nullptr; }));
    ASSERT_EQ(backend.requestCount(testing::Endpoint::otpRequest), 1u);
    EXPECT_EQ(backend.requests(testing::Endpoint::otpRequest)[0].json().at("email"),
              "ada@example.test");
    SignInCodeStep* step = signIn->codeStep();
    QLineEdit* codeLine = step->codeField()->textField();

    // The code travels both ways between the window and the panel at the notch.
    typeInto(codeLine, QStringLiteral("12"));
    EXPECT_EQ(panel->code, "12");
    panel->typeCode("123");
    EXPECT_EQ(model().signInCode(), "123");
    EXPECT_EQ(step->codeField()->code(), QStringLiteral("123"));

    // The webmail shortcut of an address at no big provider opens the mail application.
    EXPECT_EQ(step->openEmailButton()->text(), QStringLiteral("Click here to open your email app"));
    click(step->openEmailButton());
    EXPECT_EQ(desktop.openedURLs(), std::vector<std::string>{"mailto:"});

    // A wrong code: the backend's words, and the field free for another try.
    typeInto(codeLine, QStringLiteral("999"));
    ASSERT_TRUE(runUntil([&] { return model().signInError().has_value(); }));
    EXPECT_EQ(step->errorText()->text(), QStringLiteral("Token has expired or is invalid"));
    EXPECT_FALSE(step->codeField()->isFieldDisabled());
    EXPECT_FALSE(coordinator->isAuthenticated());

    panel->typeCode("12345");
    EXPECT_EQ(codeLine->text(), QStringLiteral("12345"));
    typeInto(codeLine, QStringLiteral("6"));
    ASSERT_TRUE(runUntil([&] { return model().stage() == OnboardingStage::getToKnowYou; }));
    EXPECT_TRUE(coordinator->isAuthenticated());
    EXPECT_EQ(coordinator->userEmail(), "ada@example.test");
    EXPECT_FALSE(panel->visible);
    const auto verifications = backend.requests(testing::Endpoint::otpVerify);
    ASSERT_EQ(verifications.size(), 2u);
    EXPECT_EQ(verifications[1].json().at("token"), "123456");
}

// A keyring that cannot keep the sign-in: the screen says so and what to do, nobody is signed in
// (the next start would not be), and once unlocked the same code finishes the sign-in.
TEST_F(SignInEndToEndTest, ALockedKeyringIsNamedOnTheScreenAndTheSameCodeWorksOnceUnlocked) {
    ASSERT_TRUE(runUntil([&] { return screen() != nullptr; }));
    SignInScreen* signIn = screen();
    typeInto(signIn->emailStep()->emailField()->lineEdit(), QStringLiteral("ada@example.test"));
    click(signIn->emailStep()->sendButton());
    ASSERT_TRUE(runUntil([&] { return signIn->codeStep() != nullptr; }));
    SignInCodeStep* step = signIn->codeStep();

    secrets->injectFailure(SimSecretStore::Operation::write, SecretStatus::interactionNotAllowed,
                           "org.freedesktop.Secret.Error.IsLocked: Cannot create an item in a "
                           "locked collection");
    typeInto(step->codeField()->textField(), QStringLiteral("123456"));
    ASSERT_TRUE(runUntil([&] { return model().signInError().has_value(); }));
    EXPECT_TRUE(step->errorText()->text().startsWith(QStringLiteral("Your keyring is locked")))
        << step->errorText()->text().toStdString();
    EXPECT_FALSE(coordinator->isAuthenticated());
    EXPECT_EQ(model().stage(), OnboardingStage::signIn);

    secrets->clearFailure(SimSecretStore::Operation::write);
    click(step->verifyButton());
    ASSERT_TRUE(runUntil([&] { return model().stage() == OnboardingStage::getToKnowYou; }));
    EXPECT_TRUE(coordinator->isAuthenticated());
    EXPECT_TRUE(secrets->item("com.pennial.Pennial.auth", "session").has_value());
    EXPECT_EQ(backend.requestCount(testing::Endpoint::otpVerify), 1u) << "the code was spent once";
}

// A user through every step, whose session is kept behind a keyring still locked at start-up
// (which has not run yet).
class SignInBehindALockedKeyring : public SignInEndToEndTest {
protected:
    SignInBehindALockedKeyring() {
        defaults->setBool("hasCompletedProfileOnboarding", true);
        defaults->setBool("hasCompletedPlaygroundOnboarding", true);
        auto issued = backend.issueSession("ada@example.test");
        secrets->putItem("com.pennial.Pennial.auth", "session",
                         AuthSession{issued.userId, issued.accessToken, issued.refreshToken,
                                     std::chrono::system_clock::now() + std::chrono::hours(1),
                                     issued.email}
                             .toJson());
        secrets->injectFailure(SimSecretStore::Operation::read,
                               SecretStatus::interactionNotAllowed);
    }
};

// The screen asking to sign back in says why and what to do; unlocking is enough.
TEST_F(SignInBehindALockedKeyring, TheSignInScreenNamesTheKeyringAndUnlockingItSignsBackIn) {
    ASSERT_TRUE(runUntil([&] { return screen() != nullptr; }));
    SignInEmailStep* step = screen()->emailStep();
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->title()->text(), QStringLiteral("Sign back in"));
    EXPECT_TRUE(step->errorText()->text().startsWith(QStringLiteral("Your keyring is locked")))
        << step->errorText()->text().toStdString();
    EXPECT_FALSE(step->errorText()->isHidden());

    secrets->clearFailure(SimSecretStore::Operation::read);
    ASSERT_TRUE(runUntil([&] { return coordinator->isMonitoring(); }));
    EXPECT_TRUE(coordinator->isAuthenticated());
    EXPECT_FALSE(coordinator->signInNotice());
    EXPECT_FALSE(coordinator->requiresOnboarding());
}

} // namespace
} // namespace pennial
