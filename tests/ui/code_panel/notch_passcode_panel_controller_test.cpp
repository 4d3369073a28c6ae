#include "code_panel_harness.hpp"
#include "services/auth_error.hpp"
#include "ui/code_panel/notch_passcode_panel_controller.hpp"
#include "ui/code_panel/notch_passcode_view.hpp"
#include "ui/design/focus_tracking_text_field.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_otp_field.hpp"
#include "ui/design/ui_test_support.hpp"
#include "ui/overlay/overlay_screens.hpp"
#include "ui/overlay/palette_card.hpp"

#include <QLabel>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using namespace std::chrono_literals;
using testing::notchedScreen;
using testing::plainScreen;

constexpr auto tearDownDelay = 40ms;

class NotchPasscodePanelControllerTest : public ::testing::Test {
protected:
    NotchPasscodePanelControllerTest() {
        screens->list = {notchedScreen(), plainScreen()};
        panel.setOnCodeChanged([this](const std::string& code) { reported.push_back(code); });
    }

    void show(std::string email = "ada@example.com", std::optional<Screen> screen = {}) {
        panel.show(
            std::move(email), verifier.handler(), [this] { ++completions; }, std::move(screen));
    }
    void showRevealed(std::string email = "ada@example.com", std::optional<Screen> screen = {}) {
        show(std::move(email), std::move(screen));
        loop.turn();
        elsewhere.takeFocus(view()->codeField(), loop);
        ASSERT_TRUE(model().isRevealed());
    }
    void type(const QString& text) { test::typeText(view()->codeField()->textField(), text); }
    bool tornDown() {
        return loop.runUntil([&] { return panel.window() == nullptr; });
    }

    const NotchPasscodeModel& model() const { return panel.model(); }
    NotchPasscodeView* view() const { return panel.view(); }
    QString fieldCode() const { return view()->codeField()->code(); }

    testing::MainLoop loop;
    testing::ElsewhereWindow elsewhere;
    std::shared_ptr<testing::ListedScreens> screens = std::make_shared<testing::ListedScreens>();
    NotchPasscodePanelController panel{screens, loop.executor(), {tearDownDelay}};
    testing::ScriptedVerifier verifier;
    std::vector<std::string> reported; // what the panel's model told the core
    int completions = 0;
};

TEST_F(NotchPasscodePanelControllerTest, ShowBuildsThePanelOutOfSightAndRevealsItOnTheNextTurn) {
    show("ada@example.com", notchedScreen());
    ASSERT_NE(panel.window(), nullptr);
    EXPECT_TRUE(panel.window()->isVisible());
    EXPECT_FALSE(model().isRevealed());
    EXPECT_EQ(view()->card()->pos().y(), -164); // out through the panel's top edge
    EXPECT_EQ(model().email(), "ada@example.com");
    EXPECT_EQ(model().notchHeight(), 32);
    EXPECT_EQ(model().panelHeight(), 164);
    EXPECT_EQ(panel.hideGeneration(), 1);

    loop.turn();
    EXPECT_TRUE(model().isRevealed());
    EXPECT_EQ(view()->card()->pos().y(), -20);
    elsewhere.takeFocus(view()->codeField(), loop);
    EXPECT_TRUE(view()->clickHint()->isVisibleTo(view()));
    EXPECT_FALSE(view()->verifyingRow()->isVisibleTo(view()));
    EXPECT_FALSE(view()->errorText()->isVisibleTo(view()));
}

TEST_F(NotchPasscodePanelControllerTest, HangsFromTheNotchOrFloatsBelowTheMenuBar) {
    show("a@example.com", notchedScreen());
    EXPECT_EQ(panel.panelFrame(), (Rect{{756 - 170, 982 - 164}, {340, 164}}));
    EXPECT_EQ(panel.window()->geometry(), QRect(586, 0, 340, 164));
    panel.hide();
    ASSERT_TRUE(tornDown());

    // Without a screen: the first of the list, here a plain one.
    screens->list = {plainScreen()};
    show("a@example.com", std::nullopt);
    EXPECT_EQ(panel.panelFrame(), (Rect{{960 - 170, 1053 - 8 - 132}, {340, 132}}));
    EXPECT_EQ(panel.window()->geometry(), QRect(790, 35, 340, 132));
    EXPECT_EQ(model().notchHeight(), 0);
    panel.hide();
    ASSERT_TRUE(tornDown());

    // A notched screen right of a taller primary: the window system counts from the primary's top.
    Screen beside = notchedScreen();
    beside.frame.origin.x = 1920;
    beside.visibleFrame.origin.x = 1920;
    beside.auxiliaryTopLeftArea->origin.x += 1920;
    beside.auxiliaryTopRightArea->origin.x += 1920;
    screens->list = {plainScreen(), beside};
    show("a@example.com", beside);
    EXPECT_EQ(panel.window()->geometry(), QRect(1920 + 586, 1080 - 982, 340, 164));
}

TEST_F(NotchPasscodePanelControllerTest, WithoutScreensAShowChangesNothing) {
    screens->list.clear();
    show("ada@example.com", std::nullopt);
    EXPECT_EQ(panel.window(), nullptr);
    EXPECT_EQ(model().email(), "");
    EXPECT_FALSE(model().onVerify);
    EXPECT_EQ(panel.hideGeneration(), 0);
}

TEST_F(NotchPasscodePanelControllerTest, HideSlidesOutThenTearsDownWithoutReportingTheReset) {
    showRevealed();
    type("123");
    ASSERT_EQ(reported, (std::vector<std::string>{"1", "12", "123"}));

    panel.hide();
    EXPECT_TRUE(panel.isAnimatingOut());
    EXPECT_FALSE(model().isRevealed());
    EXPECT_NE(panel.window(), nullptr);
    EXPECT_EQ(panel.hideGeneration(), 1); // a hide does not raise it
    panel.hide();                         // while animating out: ignored
    ASSERT_TRUE(tornDown());

    EXPECT_FALSE(panel.isAnimatingOut());
    EXPECT_EQ(model().code(), "");
    // The code typed in the onboarding window stays there.
    EXPECT_EQ(reported.back(), "123");
    // The e-mail and the callbacks stay for the next show.
    EXPECT_EQ(model().email(), "ada@example.com");
    EXPECT_TRUE(model().onVerify);
    panel.hide(); // hidden: harmless
    EXPECT_EQ(panel.window(), nullptr);
}

TEST_F(NotchPasscodePanelControllerTest, AShowDuringTheSlideOutKeepsThePanelAndItsCode) {
    showRevealed();
    type("123");
    QWidget* const window = panel.window();
    panel.hide();
    show();
    EXPECT_EQ(panel.hideGeneration(), 2);
    EXPECT_FALSE(panel.isAnimatingOut());
    EXPECT_TRUE(model().isRevealed()); // at once, not on the next turn

    loop.runFor(tearDownDelay * 3);
    EXPECT_EQ(panel.window(), window);
    EXPECT_EQ(view()->card()->pos().y(), -20);
    EXPECT_EQ(fieldCode(), "123");

    // The next hide is the one that counts.
    panel.hide();
    EXPECT_TRUE(tornDown());
}

TEST_F(NotchPasscodePanelControllerTest, AHideBeforeTheRevealTearsDownAtOnce) {
    show();
    panel.hide();
    EXPECT_EQ(panel.window(), nullptr);
    loop.turn(); // the reveal step still lands, on the model alone

    show();
    ASSERT_NE(panel.window(), nullptr);
    EXPECT_FALSE(model().isRevealed());
    EXPECT_EQ(view()->card()->pos().y(), -164);
    loop.turn();
    EXPECT_TRUE(model().isRevealed());
}

TEST_F(NotchPasscodePanelControllerTest, ASecondShowRefreshesInPlaceAndKeepsTheTypedCode) {
    showRevealed("old@example.com", notchedScreen());
    const Rect frame = panel.panelFrame();
    type("123456");
    verifier.answer = SignInResult::failure(std::make_exception_ptr(AuthError::networkError("x")));
    ASSERT_TRUE(loop.runUntil([&] { return model().error().has_value(); }));

    verifier.answer.reset();
    int newCompletions = 0;
    panel.show(
        "new@example.com", verifier.handler(), [&] { ++newCompletions; }, plainScreen());
    EXPECT_EQ(panel.panelFrame(), frame); // neither moved nor resized
    EXPECT_EQ(model().email(), "new@example.com");
    EXPECT_EQ(model().panelHeight(), 132);
    EXPECT_FALSE(model().error());
    EXPECT_FALSE(view()->errorText()->isVisibleTo(view()));
    EXPECT_EQ(fieldCode(), "123456");

    // A show while a verification runs clears its progress line too; the new callbacks answer.
    test::pressKey(view()->codeField()->textField(), Qt::Key_Backspace);
    type("6");
    ASSERT_TRUE(model().isVerifying());
    panel.show(
        "new@example.com", verifier.handler(), [&] { ++newCompletions; }, plainScreen());
    EXPECT_FALSE(model().isVerifying());
    EXPECT_FALSE(view()->verifyingRow()->isVisibleTo(view()));
    verifier.answer = SignInResult::success();
    ASSERT_TRUE(loop.runUntil([&] { return newCompletions == 1; }));
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(verifier.calls.back(),
              (std::pair<std::string, std::string>{"new@example.com", "123456"}));
}

TEST_F(NotchPasscodePanelControllerTest, TheCodeIsMirroredBothWaysWithoutEchoes) {
    testing::OtherCodeField window(panel);
    panel.setOnCodeChanged([&](const std::string& code) {
        reported.push_back(code);
        window.setSignInCode(code);
    });

    // Typed into the window while the panel is hidden: kept for the panel, nothing reported.
    window.type("1");
    EXPECT_EQ(model().code(), "1");
    EXPECT_TRUE(reported.empty());
    showRevealed();
    EXPECT_EQ(fieldCode(), "1");

    // Typed into the panel: to the window once, whose answer the panel ignores.
    type("2");
    EXPECT_EQ(window.code, "12");
    EXPECT_EQ(window.writes, 1);
    EXPECT_EQ(reported, (std::vector<std::string>{"12"}));

    // Typed into the window: shown in the panel, which reports it once; the window ignores it.
    window.type("123");
    EXPECT_EQ(fieldCode(), "123");
    EXPECT_EQ(reported, (std::vector<std::string>{"12", "123"}));
    EXPECT_EQ(window.writes, 1);

    // The same code again changes nothing anywhere.
    panel.setCode("123");
    EXPECT_EQ(reported.size(), 2u);
    EXPECT_EQ(window.writes, 1);
}

TEST_F(NotchPasscodePanelControllerTest, AFailureIsShownAndTheFieldCanBeUsedAgain) {
    showRevealed();
    type("12345");
    EXPECT_TRUE(verifier.calls.empty());
    type("6");
    ASSERT_TRUE(loop.runUntil([&] { return verifier.calls.size() == 1; }));
    EXPECT_EQ(verifier.calls[0],
              (std::pair<std::string, std::string>{"ada@example.com", "123456"}));
    EXPECT_TRUE(model().isVerifying());
    EXPECT_TRUE(view()->codeField()->isFieldDisabled());
    EXPECT_TRUE(view()->verifyingRow()->isVisibleTo(view()));
    EXPECT_FALSE(view()->clickHint()->isVisibleTo(view()));

    verifier.answer = SignInResult::failure(
        std::make_exception_ptr(AuthError::verificationFailed(403, "Token has expired")));
    ASSERT_TRUE(loop.runUntil([&] { return !model().isVerifying(); }));
    EXPECT_EQ(view()->errorText()->text(), "Token has expired");
    EXPECT_TRUE(view()->errorText()->isVisibleTo(view()));
    EXPECT_FALSE(view()->verifyingRow()->isVisibleTo(view()));
    EXPECT_FALSE(view()->codeField()->isFieldDisabled());
    EXPECT_EQ(completions, 0);

    // Corrected: the last digit again completes the field and verifies afresh.
    verifier.answer = SignInResult::success();
    test::pressKey(view()->codeField()->textField(), Qt::Key_Backspace);
    type("7");
    EXPECT_FALSE(model().error()); // cleared as the new verification starts
    ASSERT_TRUE(loop.runUntil([&] { return completions == 1; }));
    EXPECT_EQ(verifier.calls.back().second, "123457");
    EXPECT_FALSE(model().isVerifying());
}

TEST_F(NotchPasscodePanelControllerTest, ASignInThatSucceedsAfterTheHideStillCompletes) {
    showRevealed();
    type("123456");
    ASSERT_TRUE(model().isVerifying());
    panel.hide();
    ASSERT_TRUE(tornDown());
    EXPECT_FALSE(model().isVerifying());

    verifier.answer = SignInResult::success();
    EXPECT_TRUE(loop.runUntil([&] { return completions == 1; }));

    // A failure after the hide is cleared by the next show.
    verifier.answer.reset();
    showRevealed();
    type("654321");
    panel.hide();
    ASSERT_TRUE(tornDown());
    verifier.answer = SignInResult::failure(std::make_exception_ptr(std::runtime_error("boom")));
    ASSERT_TRUE(loop.runUntil([&] { return model().error().has_value(); }));
    showRevealed();
    EXPECT_FALSE(model().error());
    EXPECT_TRUE(view()->clickHint()->isVisibleTo(view()));
}

TEST(NotchPasscodePanelControllerLifetime, AVerificationOutlivingThePanelIsDropped) {
    testing::MainLoop loop;
    auto screens = std::make_shared<testing::ListedScreens>();
    screens->list = {notchedScreen()};
    testing::ScriptedVerifier verifier;
    int completions = 0;
    {
        NotchPasscodePanelController panel(screens, loop.executor(), {tearDownDelay});
        panel.show(
            "ada@example.com", verifier.handler(), [&] { ++completions; }, std::nullopt);
        loop.turn();
        test::typeText(panel.view()->codeField()->textField(), "123456");
        ASSERT_TRUE(loop.runUntil([&] { return !verifier.calls.empty(); }));
    }
    verifier.answer = SignInResult::success();
    loop.runFor(20ms);
    EXPECT_EQ(completions, 0);
}

TEST_F(NotchPasscodePanelControllerTest, AClickMakesThePanelTakeTheKeyboard) {
    showRevealed();
    loop.runFor(150ms); // the field's delayed focus
    elsewhere.takeFocus(view()->codeField(), loop);
    EXPECT_FALSE(panel.window()->isActiveWindow());
    EXPECT_FALSE(view()->isFieldFocused());

    QWindow* window = panel.window()->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPointF inside(170, 100);
    QMouseEvent press(QEvent::MouseButtonPress, inside, window->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
    ASSERT_TRUE(loop.runUntil([&] { return view()->isFieldFocused(); }));
    EXPECT_TRUE(panel.window()->isActiveWindow());
    EXPECT_FALSE(view()->clickHint()->isVisibleTo(view()));
}

} // namespace
} // namespace pennial
