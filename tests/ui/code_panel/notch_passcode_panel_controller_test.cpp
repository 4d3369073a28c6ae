#include "code_panel_harness.hpp"
#include "services/auth_error.hpp"
#include "ui/code_panel/code_panel_placement.hpp"
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
#include <QWindow>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using namespace std::chrono_literals;
using testing::notchedScreen;
using testing::plainScreen;
using Call = std::pair<std::string, std::string>;

constexpr auto tearDownDelay = 40ms;

class NotchPasscodePanelControllerTest : public ::testing::Test {
protected:
    NotchPasscodePanelControllerTest() {
        screens->list = {notchedScreen(), plainScreen()};
        panel.setOnCodeChanged([this](const std::string& code) { reported.push_back(code); });
    }

    void show(std::optional<Screen> screen = {}, std::string email = "ada@example.com") {
        panel.show(
            std::move(email), verifier.handler(), [this] { ++completions; }, std::move(screen));
    }
    // Shown, slid in, and in the background as a desktop leaves it.
    void showRevealed(std::optional<Screen> screen = {}, std::string email = "ada@example.com") {
        show(std::move(screen), std::move(email));
        loop.turn();
        elsewhere.takeFocus(view()->codeField(), loop);
        ASSERT_TRUE(model().isRevealed());
    }
    void type(const QString& text) { test::typeText(view()->codeField()->textField(), text); }
    void retypeLastDigit(const QString& digit) {
        test::pressKey(view()->codeField()->textField(), Qt::Key_Backspace);
        type(digit);
    }
    bool tornDown() {
        return loop.runUntil([&] { return panel.window() == nullptr; });
    }
    bool shows(QWidget* widget) const { return widget->isVisibleTo(view()); }

    const NotchPasscodeModel& model() const { return panel.model(); }
    NotchPasscodeView* view() const { return panel.view(); }
    QString fieldCode() const { return view()->codeField()->code(); }

    testing::MainLoop loop;
    testing::ElsewhereWindow elsewhere;
    std::shared_ptr<testing::ListedScreens> screens = std::make_shared<testing::ListedScreens>();
    NotchPasscodePanelController panel{screens, loop.executor(), {tearDownDelay}};
    testing::ScriptedVerifier verifier;
    std::vector<std::string> reported; // what the panel told the core of the code
    int completions = 0;
};

TEST_F(NotchPasscodePanelControllerTest, HangsFromTheNotchOrFloatsBelowTheTopPanel) {
    show(notchedScreen());
    EXPECT_EQ(panel.panelFrame(), (Rect{{756 - 170, 982 - 164}, {340, 164}}));
    EXPECT_EQ(panel.window()->geometry(), QRect(586, 0, 340, 164));
    EXPECT_EQ(model().notchHeight(), 32);
    EXPECT_EQ(model().panelHeight(), 164);
    panel.hide();

    // No screen given: the first of the list, here a plain one; 8 points below its top panel.
    screens->list = {plainScreen()};
    show();
    EXPECT_EQ(panel.panelFrame(), (Rect{{960 - 170, 1053 - 8 - 132}, {340, 132}}));
    EXPECT_EQ(panel.window()->geometry(), QRect(790, 35, 340, 132));
    panel.hide();

    // Right of a taller primary: the window system counts from the primary's top edge.
    Screen beside = notchedScreen();
    for (Rect* area : {&beside.frame, &beside.visibleFrame, &*beside.auxiliaryTopLeftArea,
                       &*beside.auxiliaryTopRightArea})
        area->origin.x += 1920;
    screens->list = {plainScreen(), beside};
    show(beside);
    EXPECT_EQ(panel.window()->geometry(), QRect(1920 + 586, 1080 - 982, 340, 164));
    panel.hide();

    // No screens at all: nothing happens, not even to the model.
    screens->list.clear();
    show(std::nullopt, "other@example.com");
    EXPECT_EQ(panel.window(), nullptr);
    EXPECT_EQ(model().email(), "ada@example.com");
    EXPECT_EQ(panel.hideGeneration(), 3);
}

TEST_F(NotchPasscodePanelControllerTest, OnSmallScreensThePanelStaysInTheFreeArea) {
    for (const auto& [name, screen, scale] : testing::smallScreens()) {
        SCOPED_TRACE(name);
        screens->list = {screen};
        if (screen.frame.minX() > 0)
            screens->list.insert(screens->list.begin(), plainScreen());
        show(screen);
        EXPECT_TRUE(testing::liesInside(panel.panelFrame(), screen.visibleFrame));
        // And where the window system puts it, counted from the primary screen's top edge.
        const Rect free = toWindowSystemFrame(screen.visibleFrame, screens->list[0].frame.maxY());
        const QRect window = panel.window()->geometry();
        EXPECT_TRUE(QRectF(free.minX(), free.minY(), free.size.width, free.size.height)
                        .contains(QRectF(window)))
            << window.x() << "," << window.y() << " " << window.width() << "x" << window.height();
        panel.hide(); // not yet slid in: gone at once
        ASSERT_EQ(panel.window(), nullptr);
    }
}

TEST_F(NotchPasscodePanelControllerTest, RevealsOnTheNextTurnAndTearsDownAfterTheSlideOut) {
    show();
    ASSERT_NE(panel.window(), nullptr);
    EXPECT_TRUE(panel.window()->isVisible());
    EXPECT_FALSE(model().isRevealed());
    EXPECT_EQ(view()->card()->pos().y(), -164); // out through the panel's top edge
    loop.turn();
    EXPECT_TRUE(model().isRevealed());
    EXPECT_EQ(view()->card()->pos().y(), -20);
    elsewhere.takeFocus(view()->codeField(), loop);
    EXPECT_TRUE(shows(view()->clickHint()));

    type("123");
    ASSERT_EQ(reported, (std::vector<std::string>{"1", "12", "123"}));
    panel.hide();
    EXPECT_TRUE(panel.isAnimatingOut());
    EXPECT_FALSE(model().isRevealed());
    EXPECT_NE(panel.window(), nullptr);
    panel.hide(); // while animating out: ignored
    ASSERT_TRUE(tornDown());
    EXPECT_FALSE(panel.isAnimatingOut());
    EXPECT_EQ(panel.hideGeneration(), 1); // only shows raise it

    // The panel starts empty next time, but its reset is not the user's: the code typed so far
    // stays in the onboarding window. The e-mail and callbacks stay for the next show.
    EXPECT_EQ(model().code(), "");
    EXPECT_EQ(reported.back(), "123");
    EXPECT_EQ(model().email(), "ada@example.com");
    EXPECT_TRUE(model().onVerify);
}

TEST_F(NotchPasscodePanelControllerTest, AShowDuringTheSlideOutKeepsThePanelAndItsCode) {
    showRevealed();
    type("123");
    QWidget* const window = panel.window();
    panel.hide();
    show();
    EXPECT_FALSE(panel.isAnimatingOut());
    EXPECT_TRUE(model().isRevealed()); // at once, not on the next turn

    loop.runFor(tearDownDelay * 3);
    EXPECT_EQ(panel.window(), window);
    EXPECT_EQ(view()->card()->pos().y(), -20);
    EXPECT_EQ(fieldCode(), "123");
    panel.hide();
    EXPECT_TRUE(tornDown());

    // Hidden before its reveal: torn down at once; the next show starts out of sight again.
    show();
    panel.hide();
    EXPECT_EQ(panel.window(), nullptr);
    loop.turn();
    show();
    EXPECT_FALSE(model().isRevealed());
    loop.turn();
    EXPECT_TRUE(model().isRevealed());
}

TEST_F(NotchPasscodePanelControllerTest, ASecondShowRefreshesInPlaceAndKeepsTheTypedCode) {
    showRevealed(notchedScreen(), "old@example.com");
    const Rect frame = panel.panelFrame();
    type("123456");
    verifier.answer = SignInResult::failure(std::make_exception_ptr(AuthError::networkError("x")));
    ASSERT_TRUE(loop.runUntil([&] { return model().error().has_value(); }));

    int laterCompletions = 0;
    panel.show(
        "new@example.com", verifier.handler(), [&] { ++laterCompletions; }, plainScreen());
    EXPECT_EQ(panel.panelFrame(), frame); // neither moved nor resized
    EXPECT_EQ(model().email(), "new@example.com");
    EXPECT_EQ(model().panelHeight(), 132);
    EXPECT_FALSE(shows(view()->errorText()));
    EXPECT_EQ(fieldCode(), "123456");

    // Its callbacks answer from now on.
    verifier.answer = SignInResult::success();
    retypeLastDigit("6");
    ASSERT_TRUE(loop.runUntil([&] { return laterCompletions == 1; }));
    EXPECT_EQ(verifier.calls.back(), (Call{"new@example.com", "123456"}));
    EXPECT_EQ(completions, 0);
}

TEST_F(NotchPasscodePanelControllerTest, TheCodeIsMirroredBothWaysWithoutEchoes) {
    // The onboarding window's field as the core wires it: it ignores an equal code, and every
    // change of its own goes to the panel.
    std::string windowCode;
    int windowWrites = 0;
    auto typeInWindow = [&](const std::string& code) {
        windowCode = code;
        panel.setCode(code);
    };
    panel.setOnCodeChanged([&](const std::string& code) {
        reported.push_back(code);
        if (code == windowCode)
            return;
        ++windowWrites;
        typeInWindow(code);
    });

    typeInWindow("1"); // while the panel is hidden: kept for it, nothing reported
    EXPECT_TRUE(reported.empty());
    showRevealed();
    EXPECT_EQ(fieldCode(), "1");

    type("2");
    EXPECT_EQ(windowCode, "12");
    EXPECT_EQ(windowWrites, 1);
    typeInWindow("123");
    EXPECT_EQ(fieldCode(), "123");
    EXPECT_EQ(reported, (std::vector<std::string>{"12", "123"}));
    EXPECT_EQ(windowWrites, 1);

    panel.setCode("123");
    EXPECT_EQ(reported.size(), 2u);
}

TEST_F(NotchPasscodePanelControllerTest, AFailureIsShownAndTheFieldCanBeUsedAgain) {
    showRevealed();
    type("12345");
    EXPECT_FALSE(model().isVerifying());
    type("6");
    EXPECT_TRUE(model().isVerifying());
    EXPECT_TRUE(view()->codeField()->isFieldDisabled());
    EXPECT_TRUE(shows(view()->verifyingRow()));
    EXPECT_FALSE(shows(view()->clickHint()));

    verifier.answer = SignInResult::failure(
        std::make_exception_ptr(AuthError::verificationFailed(403, "Token has expired")));
    ASSERT_TRUE(loop.runUntil([&] { return !model().isVerifying(); }));
    EXPECT_EQ(verifier.calls, (std::vector<Call>{{"ada@example.com", "123456"}}));
    EXPECT_EQ(view()->errorText()->text(), "Token has expired");
    EXPECT_TRUE(shows(view()->errorText()));
    EXPECT_FALSE(shows(view()->verifyingRow()));
    EXPECT_FALSE(view()->codeField()->isFieldDisabled());
    EXPECT_EQ(completions, 0);

    verifier.answer = SignInResult::success();
    retypeLastDigit("7");
    EXPECT_FALSE(shows(view()->errorText())); // gone as the next verification starts
    ASSERT_TRUE(loop.runUntil([&] { return completions == 1; }));
    EXPECT_EQ(verifier.calls.back().second, "123457");
}

TEST_F(NotchPasscodePanelControllerTest, ASignInThatSucceedsAfterTheHideStillCompletes) {
    showRevealed();
    type("123456");
    panel.hide();
    ASSERT_TRUE(tornDown());
    EXPECT_FALSE(model().isVerifying());
    verifier.answer = SignInResult::success();
    EXPECT_TRUE(loop.runUntil([&] { return completions == 1; }));
}

TEST(NotchPasscodePanelControllerLifetime, AVerificationOutlivingTheControllerIsDropped) {
    testing::MainLoop loop;
    auto screens = std::make_shared<testing::ListedScreens>();
    screens->list = {notchedScreen()};
    testing::ScriptedVerifier verifier;
    int completions = 0;
    {
        NotchPasscodePanelController panel(screens, loop.executor(), {tearDownDelay});
        panel.show(
            "ada@example.com", verifier.handler(), [&] { ++completions; }, std::nullopt);
        test::typeText(panel.view()->codeField()->textField(), "123456");
        ASSERT_TRUE(loop.runUntil([&] { return !verifier.calls.empty(); }));
    }
    verifier.answer = SignInResult::success();
    loop.runFor(20ms);
    EXPECT_EQ(completions, 0);
}

TEST_F(NotchPasscodePanelControllerTest, AClickMakesThePanelTakeTheKeyboard) {
    showRevealed();
    loop.runFor(150ms); // past the field's delayed focus, which an inactive panel does not take
    EXPECT_FALSE(panel.window()->isActiveWindow());
    EXPECT_FALSE(view()->isFieldFocused());

    QWindow* window = panel.window()->windowHandle();
    const QPointF inside(170, 100);
    QMouseEvent press(QEvent::MouseButtonPress, inside, window->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
    ASSERT_TRUE(loop.runUntil([&] { return view()->isFieldFocused(); }));
    EXPECT_TRUE(panel.window()->isActiveWindow());
    EXPECT_FALSE(shows(view()->clickHint()));
}

} // namespace
} // namespace pennial
