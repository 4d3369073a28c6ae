// The sign-in screen against scripted sign-in callbacks: the e-mail step's request, the code
// step's verification, the resend countdown, the way back to the e-mail step, the code mirrored
// through the model, and screenshots for review (onboarding_screenshots/).

#include "app/sign_in_result.hpp"
#include "fake_onboarding_card.hpp"
#include "onboarding_ui_support.hpp"
#include "platform/secret_store.hpp"
#include "services/auth_error.hpp"
#include "sign_in_test_support.hpp"
#include "test_coordinator.hpp"
#include "ui/code_panel/code_panel_harness.hpp"
#include "ui/design/focus_tracking_text_field.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_otp_field.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"
#include "windows/onboarding/sign_in_code_step.hpp"
#include "windows/onboarding/sign_in_email_step.hpp"
#include "windows/onboarding/sign_in_link_button.hpp"
#include "windows/onboarding/sign_in_screen.hpp"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

namespace pennial {
namespace {

using namespace std::chrono_literals;
using testing::click;
using testing::typeInto;

SignInResult failure(AuthError error) {
    return SignInResult::failure(std::make_exception_ptr(std::move(error)));
}

class SignInScreenTest : public ::testing::Test {
protected:
    SignInScreenTest() {
        model.callbacks.onRequestOTP = signIn.requestHandler();
        model.callbacks.onVerifyOTP = signIn.verifyHandler();
        model.callbacks.onSignInComplete = [this] { ++completions; };
        model.setStage(OnboardingStage::signIn);
    }
    ~SignInScreenTest() override { model.resendCountdown.cancel(); }

    SignInScreen& build(std::chrono::steady_clock::duration resendTick = 1h) {
        screen = std::make_unique<SignInScreen>(
            model, SignInScreen::Services{loop.executor(), {}, resendTick});
        screen->resize(520, 440);
        screen->show();
        return *screen;
    }

    QLineEdit* emailLine() const { return screen->emailStep()->emailField()->lineEdit(); }
    QLineEdit* codeLine() const { return screen->codeStep()->codeField()->textField(); }
    QPushButton* continueButton() const { return screen->bottomBar()->primaryButton(); }

    testing::MainLoop loop;
    OnboardingModel model;
    testing::ScriptedSignIn signIn;
    int completions = 0;
    std::unique_ptr<SignInScreen> screen;
};

TEST_F(SignInScreenTest, SendsTheTrimmedAddressAndMovesToTheCodeStep) {
    build();
    auto* step = screen->emailStep();
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->title()->text(), QStringLiteral("Make it yours"));
    QPushButton* send = step->sendButton();
    EXPECT_FALSE(send->isEnabled()) << "no address yet";
    EXPECT_FALSE(continueButton()->isEnabled()) << "never on the e-mail step";

    // Blanks enable the button (it tests the text as typed), but sending them does nothing.
    typeInto(emailLine(), QStringLiteral("   "));
    EXPECT_TRUE(send->isEnabled());
    click(send);
    testing::pressKey(emailLine(), Qt::Key_Return);
    loop.turn();
    EXPECT_TRUE(signIn.requests.empty());
    EXPECT_FALSE(model.isSignInLoading());

    typeInto(emailLine(), QStringLiteral("ada@example.test "));
    model.setSignInError("an earlier failure");
    testing::pressKey(emailLine(), Qt::Key_Return);
    EXPECT_TRUE(model.isSignInLoading());
    EXPECT_EQ(model.signInError(), std::nullopt);
    EXPECT_EQ(send->text(), QStringLiteral("Sending..."));
    EXPECT_FALSE(send->isEnabled());
    EXPECT_FALSE(emailLine()->isEnabled());
    ASSERT_TRUE(loop.runUntil([&] { return signIn.requests.size() == 1; }));
    EXPECT_EQ(signIn.requests[0], "ada@example.test");
    EXPECT_EQ(model.signInEmail(), "   ada@example.test ") << "the field keeps what was typed";

    model.setSignInCode("99"); // left over: the code step starts empty
    signIn.requestAnswer = SignInResult::success();
    ASSERT_TRUE(loop.runUntil([&] { return screen->codeStep() != nullptr; }));
    EXPECT_EQ(screen->emailStep(), nullptr);
    EXPECT_FALSE(model.isSignInLoading());
    EXPECT_EQ(model.signInCode(), "");
    EXPECT_EQ(model.resendCooldown(), 60);
    EXPECT_EQ(screen->codeStep()->title()->text(), QStringLiteral("Sign in"));
    const QString subtitle = screen->codeStep()->subtitle()->text();
    EXPECT_TRUE(subtitle.startsWith(QStringLiteral("We sent a 6-digit code to ")));
    EXPECT_TRUE(subtitle.contains(QStringLiteral(">   ada@example.test </b>"))) << "bold, as typed";
}

TEST_F(SignInScreenTest, AFailedRequestShowsItsLineAndLeavesTheStepAsItWas) {
    model.isReturningUser = true;
    model.setSignInEmail("ada@example.test");
    build();
    auto* step = screen->emailStep();
    EXPECT_EQ(step->title()->text(), QStringLiteral("Sign back in"));
    EXPECT_EQ(step->subtitle()->text(), QStringLiteral("Enter your email to sign back in."));
    EXPECT_EQ(emailLine()->text(), QStringLiteral("ada@example.test"));

    click(step->sendButton());
    signIn.requestAnswer = failure(AuthError::otpRequestFailed(429, "rate limited"));
    ASSERT_TRUE(loop.runUntil([&] { return !model.isSignInLoading(); }));
    EXPECT_EQ(model.signInStep(), SignInStep::enterEmail);
    EXPECT_EQ(screen->emailStep(), step);
    EXPECT_EQ(step->errorText()->text(),
              QStringLiteral("Too many attempts. Please wait before requesting a new code."));
    EXPECT_FALSE(step->errorText()->isHidden());
    EXPECT_EQ(model.resendCooldown(), 0);
    EXPECT_TRUE(step->sendButton()->isEnabled()) << "the user can send again at once";
    EXPECT_TRUE(emailLine()->isEnabled());

    click(step->sendButton());
    EXPECT_TRUE(step->errorText()->isHidden()) << "a new request clears the line first";
    signIn.requestAnswer = SignInResult::success();
    ASSERT_TRUE(loop.runUntil([&] { return !model.isSignInLoading(); }));
}

TEST_F(SignInScreenTest, TheSixthDigitVerifiesAndAFailureLeavesTheFieldUsable) {
    model.setSignInEmail(" ada@example.test\n");
    model.setSignInStep(SignInStep::enterCode);
    build();
    auto* step = screen->codeStep();
    ASSERT_NE(step, nullptr);

    typeInto(codeLine(), QStringLiteral("12a34"));
    EXPECT_EQ(model.signInCode(), "1234");
    EXPECT_FALSE(step->verifyButton()->isEnabled());
    EXPECT_FALSE(continueButton()->isEnabled());
    typeInto(codeLine(), QStringLiteral("5"));
    EXPECT_FALSE(model.isSignInLoading()) << "five digits verify nothing";
    typeInto(codeLine(), QStringLiteral("6"));
    EXPECT_TRUE(model.isSignInLoading()) << "no click needed";
    EXPECT_EQ(step->verifyButton()->text(), QStringLiteral("Verifying..."));
    EXPECT_FALSE(step->verifyButton()->isEnabled());
    EXPECT_FALSE(continueButton()->isEnabled());
    EXPECT_TRUE(step->codeField()->isFieldDisabled());
    EXPECT_TRUE(step->openEmailButton()->isEnabled());
    EXPECT_TRUE(step->differentEmailButton()->isEnabled());
    ASSERT_TRUE(loop.runUntil([&] { return signIn.verifications.size() == 1; }));
    EXPECT_EQ(signIn.verifications[0].first, "ada@example.test");
    EXPECT_EQ(signIn.verifications[0].second, "123456");

    signIn.verifyAnswer = failure(AuthError::verificationFailed(403, "Token has expired"));
    ASSERT_TRUE(loop.runUntil([&] { return !model.isSignInLoading(); }));
    EXPECT_EQ(step->errorText()->text(), QStringLiteral("Token has expired"));
    EXPECT_FALSE(step->codeField()->isFieldDisabled());
    EXPECT_EQ(step->codeField()->code(), QStringLiteral("123456")) << "the code stays";
    EXPECT_TRUE(step->verifyButton()->isEnabled());
    EXPECT_TRUE(continueButton()->isEnabled());
    EXPECT_EQ(completions, 0);

    // "Continue" verifies as "Verify" does; success hands over to the core and changes nothing.
    click(continueButton());
    EXPECT_EQ(model.signInError(), std::nullopt);
    signIn.verifyAnswer = SignInResult::success();
    ASSERT_TRUE(loop.runUntil([&] { return completions == 1; }));
    EXPECT_EQ(signIn.verifications.size(), 2u);
    EXPECT_FALSE(model.isSignInLoading());
    EXPECT_EQ(model.signInCode(), "123456");
    EXPECT_EQ(model.signInStep(), SignInStep::enterCode);

    // The code is used up: nothing typed or clicked verifies it again.
    EXPECT_FALSE(step->verifyButton()->isEnabled());
    EXPECT_FALSE(continueButton()->isEnabled());
    EXPECT_TRUE(step->codeField()->isFieldDisabled());
    typeInto(codeLine(), QStringLiteral("7"));
    click(step->verifyButton());
    click(continueButton());
    loop.runFor(20ms);
    EXPECT_EQ(signIn.verifications.size(), 2u);
    EXPECT_EQ(model.signInError(), std::nullopt);
}

TEST_F(SignInScreenTest, OffersAResendOnlyOnceTheCountdownHasRunOut) {
    model.setSignInEmail("ada@example.test");
    build(2ms);
    click(screen->emailStep()->sendButton());
    signIn.requestAnswer = SignInResult::success();
    ASSERT_TRUE(loop.runUntil([&] { return screen->codeStep() != nullptr; }));
    auto* step = screen->codeStep();
    EXPECT_TRUE(step->resendButton()->isHidden());
    EXPECT_FALSE(step->resendCountdown()->isHidden());
    EXPECT_TRUE(step->resendCountdown()->text().startsWith(QStringLiteral("Resend in ")));

    typeInto(codeLine(), QStringLiteral("12"));
    ASSERT_TRUE(loop.runUntil([&] { return model.resendCooldown() == 0; }));
    EXPECT_FALSE(step->resendButton()->isHidden());
    EXPECT_TRUE(step->resendCountdown()->isHidden());

    // A failed resend keeps the step, the code and the run-out countdown.
    click(step->resendButton());
    EXPECT_FALSE(step->resendButton()->isEnabled());
    EXPECT_EQ(step->verifyButton()->text(), QStringLiteral("Verifying...")) << "one shared flag";
    signIn.requestAnswer = failure(AuthError::networkError("offline"));
    ASSERT_TRUE(loop.runUntil([&] { return !model.isSignInLoading(); }));
    EXPECT_EQ(signIn.requests.size(), 2u);
    EXPECT_EQ(model.signInStep(), SignInStep::enterCode);
    EXPECT_EQ(model.signInCode(), "12");
    EXPECT_EQ(model.resendCooldown(), 0);
    EXPECT_FALSE(step->errorText()->isHidden());

    // A successful one clears the code and starts the countdown over.
    click(step->resendButton());
    signIn.requestAnswer = SignInResult::success();
    ASSERT_TRUE(loop.runUntil([&] { return model.signInCode().empty(); }));
    EXPECT_GE(model.resendCooldown(), 50);
    EXPECT_TRUE(step->resendButton()->isHidden());
}

TEST_F(SignInScreenTest, ADifferentEmailGoesBackKeepingTheAddressAndTheCountdown) {
    model.setSignInEmail("ada@example.test");
    model.setSignInStep(SignInStep::enterCode);
    model.setSignInCode("123");
    model.setSignInError("Token has expired");
    build(5ms);
    screen->activateWindow();
    QApplication::setActiveWindow(screen.get());
    screen->flow().startResendCooldown();
    QPointer<SignInCodeStep> codeStep = screen->codeStep();

    click(codeStep->differentEmailButton());
    EXPECT_EQ(model.signInStep(), SignInStep::enterEmail);
    EXPECT_TRUE(emailLine()->hasFocus()) << "the address can be typed at once";
    EXPECT_EQ(model.signInCode(), "");
    EXPECT_EQ(model.signInError(), std::nullopt);
    ASSERT_NE(screen->emailStep(), nullptr);
    EXPECT_EQ(emailLine()->text(), QStringLiteral("ada@example.test"));
    testing::runDeferredDeletes();
    EXPECT_TRUE(codeStep.isNull()) << "the step that left is gone";

    ASSERT_TRUE(loop.runUntil([&] { return model.resendCooldown() < 58; })) << "still counting";
    click(screen->emailStep()->sendButton());
    signIn.requestAnswer = SignInResult::success();
    ASSERT_TRUE(loop.runUntil([&] { return screen->codeStep() != nullptr; }));
    EXPECT_GE(model.resendCooldown(), 58) << "back to 60";
    // One countdown at a time: the value falls by one per tick, not two.
    const int start = model.resendCooldown();
    const auto began = std::chrono::steady_clock::now();
    ASSERT_TRUE(loop.runUntil([&] { return model.resendCooldown() <= start - 10; }));
    // The first of the ten ticks may come at once and timers may fire a little early; two
    // countdowns would take about half the time.
    EXPECT_GE(std::chrono::steady_clock::now() - began, 8 * 5ms);
}

// In the window: the view hands each change of the code to onCodeChanged once, and a code written
// from outside shows in the boxes without verifying.
class SignInWindowTest : public ::testing::Test {
protected:
    testing::TestCoordinator coordinator;
    testing::FakeOnboardingCards cards;
    QtOnboardingWindowController controller{cards.factory()};
};

TEST_F(SignInWindowTest, MirrorsTheCodeThroughTheModelWithoutEcho) {
    controller.show(*coordinator, OnboardingStage::signIn, false, {});
    auto* view = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
    ASSERT_NE(view, nullptr);
    auto* screen = dynamic_cast<SignInScreen*>(view->currentScreen());
    ASSERT_NE(screen, nullptr);
    std::vector<std::string> reported;
    controller.setOnCodeChanged([&](const std::string& code) { reported.push_back(code); });
    controller.model().setSignInStep(SignInStep::enterCode);
    PNOTPField* field = screen->codeStep()->codeField();

    typeInto(field->textField(), QStringLiteral("7"));
    EXPECT_EQ(reported, std::vector<std::string>{"7"});
    controller.setSignInCode("7"); // the panel answering with the same code
    EXPECT_EQ(reported.size(), 1u);

    controller.setSignInCode("123456");
    EXPECT_EQ(field->code(), QStringLiteral("123456"));
    EXPECT_EQ(field->textField()->text(), QStringLiteral("123456"));
    EXPECT_EQ(reported, (std::vector<std::string>{"7", "123456"}));
    EXPECT_FALSE(controller.model().isSignInLoading()) << "the panel verifies its own code";
    EXPECT_TRUE(screen->codeStep()->verifyButton()->isEnabled());
}

TEST_F(SignInWindowTest, Screenshots) {
    OnboardingModel& model = controller.model();
    model.setSignInEmail("ada.lovelace@gmail.com");
    controller.show(*coordinator, OnboardingStage::signIn, false, {});
    QWidget* view = cards.last()->content;
    // What the event loop would do before the next frame: lay out the changed texts.
    const auto shoot = [view](const char* name) {
        QCoreApplication::processEvents();
        return testing::saveScreenshot(view, QString::fromLatin1(name));
    };
    const QImage email = shoot("sign_in_email");
    EXPECT_EQ(email.pixelColor(5, 5), QColor(Qt::black));

    model.setSignInError("Unable to validate email address: invalid format");
    shoot("sign_in_email_error");

    model.setSignInError(std::nullopt);
    model.setSignInStep(SignInStep::enterCode);
    model.setResendCooldown(42);
    model.setSignInCode("1234");
    shoot("sign_in_code");

    model.setSignInCode("123456");
    model.setResendCooldown(0);
    model.setSignInError("Token has expired or is invalid");
    shoot("sign_in_code_error");
    model.setSignInLoading(true);
    shoot("sign_in_code_verifying");
    model.setSignInLoading(false);
    model.setSignInError(keyringSignInMessage(SecretStatus::interactionNotAllowed));
    shoot("sign_in_code_keyring_locked");

    // A returning user whose keyring could not be read at start-up.
    controller.show(*coordinator, OnboardingStage::signIn, true, {});
    model.setSignInError(keyringSessionReadMessage(SecretStatus::interactionNotAllowed));
    shoot("sign_in_back_keyring_locked");
}

} // namespace
} // namespace pennial
