// The done screen in its window: "Open Settings" calling the callback installed at the press, the
// rows' icons level with the first line of their texts, where to find the program again with and
// without a tray, and screenshots for review
// (onboarding_screenshots/).

#include "fake_onboarding_card.hpp"
#include "onboarding_ui_support.hpp"
#include "test_coordinator.hpp"
#include "ui/design/pn_step_indicator.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/done_screen.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"

#include <QPushButton>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::click;

class DoneScreenTest : public ::testing::Test {
protected:
    DoneScreen* showDone(OnboardingCallbacks callbacks = {}) {
        controller.show(*coordinator, OnboardingStage::done, false, std::move(callbacks));
        view = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
        return view ? dynamic_cast<DoneScreen*>(view->currentScreen()) : nullptr;
    }

    testing::TestCoordinator coordinator;
    testing::FakeOnboardingCards cards;
    QtOnboardingWindowController controller{cards.factory()};
    OnboardingWindowView* view = nullptr;
};

TEST_F(DoneScreenTest, OpenSettingsCallsTheCallbackInstalledAtThePress) {
    auto* done = showDone();
    ASSERT_NE(done, nullptr);
    auto* bar = done->bottomBar();
    EXPECT_EQ(bar->stepIndicator()->currentStep(), 6) << "the last of seven marks";
    EXPECT_EQ(bar->primaryButton()->text(), QStringLiteral("Open Settings"));
    EXPECT_TRUE(bar->primaryButton()->isEnabled());
    EXPECT_EQ(bar->skipLink(), nullptr);
    click(bar->primaryButton()); // the default callback does nothing

    int finished = 0;
    OnboardingCallbacks callbacks;
    callbacks.onCompletePlayground = [&] {
        ++finished;
        controller.hide(); // as the core does when onboarding is over
    };
    EXPECT_EQ(showDone(std::move(callbacks)), done);
    click(bar->primaryButton());
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(cards.last()->destroyed);
}

TEST_F(DoneScreenTest, RowsKeepTheirIconsByTheFirstLine) {
    auto* done = showDone();
    ASSERT_NE(done, nullptr);
    ASSERT_EQ(done->rows().size(), 3u);
    // The first row wraps in the 520 px window; its icon stays by the first line, and no row is
    // cut short.
    const auto& first = done->rows()[0];
    EXPECT_GT(first.text->height(), 2 * first.text->fontMetrics().height() - 1);
    const int iconTop = first.icon->mapTo(view, QPoint()).y();
    const int textTop = first.text->mapTo(view, QPoint()).y();
    EXPECT_NEAR(iconTop, textTop + 2, 1);
    for (const auto& row : done->rows())
        EXPECT_GE(row.text->height(), row.text->heightForWidth(row.text->width()));
}

// After this window nothing leads back to the program but the tray, or without one, a new start
// from the applications menu (which shows the running one's window).
TEST_F(DoneScreenTest, TheLastRowSaysWhereToFindTheProgramAgain) {
    for (bool tray : {true, false}) {
        QtOnboardingWindowController window{cards.factory()};
        window.model().hasSystemTray = [tray] { return tray; };
        window.show(*coordinator, OnboardingStage::done, false, {});
        auto* shown = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
        auto* done = shown ? dynamic_cast<DoneScreen*>(shown->currentScreen()) : nullptr;
        ASSERT_NE(done, nullptr);
        const QString last = done->rows().back().text->text();
        EXPECT_EQ(last.contains(QStringLiteral("system tray anytime")), tray) << last.toStdString();
        EXPECT_EQ(last.contains(QStringLiteral("start it from your applications menu")), !tray)
            << last.toStdString();
        if (!tray)
            testing::saveScreenshot(shown, QStringLiteral("done_without_tray"));
        window.hide();
    }
}

TEST_F(DoneScreenTest, Screenshots) {
    ASSERT_NE(showDone(), nullptr);
    testing::saveScreenshot(view, QStringLiteral("done"));
}

} // namespace
} // namespace pennial
