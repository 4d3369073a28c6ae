// The how-it-works screen in its window: "Next" calling the callback installed at the press, the
// three steps wrapping inside the margins without losing a line, and screenshots for review
// (onboarding_screenshots/).

#include "fake_onboarding_card.hpp"
#include "onboarding_ui_support.hpp"
#include "test_coordinator.hpp"
#include "ui/design/pn_step_indicator.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/how_it_works_screen.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"

#include <QPushButton>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::click;

class HowItWorksScreenTest : public ::testing::Test {
protected:
    HowItWorksScreen* showHowItWorks(OnboardingCallbacks callbacks = {}) {
        controller.show(*coordinator, OnboardingStage::videoIntro, false, std::move(callbacks));
        view = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
        return view ? dynamic_cast<HowItWorksScreen*>(view->currentScreen()) : nullptr;
    }

    testing::TestCoordinator coordinator;
    testing::FakeOnboardingCards cards;
    QtOnboardingWindowController controller{cards.factory()};
    OnboardingWindowView* view = nullptr;
};

TEST_F(HowItWorksScreenTest, NextCallsTheCallbackInstalledAtThePress) {
    auto* screen = showHowItWorks();
    ASSERT_NE(screen, nullptr);
    auto* bar = screen->bottomBar();
    EXPECT_EQ(bar->stepIndicator()->currentStep(), 2);
    EXPECT_EQ(bar->primaryButton()->text(), QStringLiteral("Next"));
    EXPECT_EQ(bar->skipLink(), nullptr);
    click(bar->primaryButton()); // the default callback does nothing

    int seen = 0;
    OnboardingCallbacks callbacks;
    callbacks.onCompleteVideoIntro = [&] { ++seen; };
    EXPECT_EQ(showHowItWorks(std::move(callbacks)), screen);
    click(bar->primaryButton());
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(controller.model().stage(), OnboardingStage::videoIntro)
        << "the core moves on, not the screen";
}

TEST_F(HowItWorksScreenTest, StepsWrapInsideTheMarginsWithoutLosingALine) {
    auto* screen = showHowItWorks();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen->steps().size(), 3u);
    int previousBottom = 0;
    for (const auto& step : screen->steps()) {
        const QRect description(step.description->mapTo(view, QPoint()), step.description->size());
        EXPECT_LE(description.right(), view->width() - 32) << "inside the trailing margin";
        EXPECT_GE(step.description->height(),
                  step.description->heightForWidth(step.description->width()))
            << "every line shown";
        EXPECT_GT(step.description->heightForWidth(step.description->width()),
                  step.description->fontMetrics().height())
            << "long enough to wrap in this window";
        const QRect tile(step.numberTile->mapTo(view, QPoint()), step.numberTile->size());
        EXPECT_EQ(tile.size(), QSize(32, 32));
        EXPECT_GE(tile.top(), previousBottom) << "a wrapped step pushes the next one down";
        previousBottom = description.bottom();
    }
    // The steps end above the bar.
    EXPECT_LT(previousBottom, screen->bottomBar()->mapTo(view, QPoint()).y());
}

TEST_F(HowItWorksScreenTest, Screenshots) {
    ASSERT_NE(showHowItWorks(), nullptr);
    testing::saveScreenshot(view, QStringLiteral("how_it_works"));
}

} // namespace
} // namespace pennial
