// The welcome screen in its window: its texts, its one button calling the callback installed at
// the moment of the press, and screenshots for review (onboarding_screenshots/).

#include "fake_onboarding_card.hpp"
#include "onboarding_ui_support.hpp"
#include "test_coordinator.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_step_indicator.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"
#include "windows/onboarding/welcome_screen.hpp"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::click;

class WelcomeScreenTest : public ::testing::Test {
protected:
    WelcomeScreen* showWelcome(OnboardingCallbacks callbacks = {}) {
        controller.show(*coordinator, OnboardingStage::welcome, false, std::move(callbacks));
        view = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
        return view ? dynamic_cast<WelcomeScreen*>(view->currentScreen()) : nullptr;
    }

    testing::TestCoordinator coordinator;
    testing::FakeOnboardingCards cards;
    QtOnboardingWindowController controller{cards.factory()};
    OnboardingWindowView* view = nullptr;
};

TEST_F(WelcomeScreenTest, StartSetupCallsTheWelcomeCallbackInstalledAtThePress) {
    auto* welcome = showWelcome(); // the default callback: a press does nothing
    ASSERT_NE(welcome, nullptr);
    auto* bar = welcome->bottomBar();
    EXPECT_EQ(bar->primaryButton()->text(), QStringLiteral("Start setup"));
    EXPECT_TRUE(bar->primaryButton()->isEnabled());
    EXPECT_EQ(bar->skipLink(), nullptr);
    EXPECT_EQ(bar->stepIndicator()->currentStep(), 0);
    click(bar->primaryButton());

    int completed = 0;
    OnboardingCallbacks callbacks;
    callbacks.onCompleteWelcome = [&] { ++completed; };
    // The welcome stage again, with the core's callback: the screen on show stays the same.
    EXPECT_EQ(showWelcome(std::move(callbacks)), welcome);
    click(bar->primaryButton());
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(controller.model().stage(), OnboardingStage::welcome)
        << "the core moves on, not the screen";

    // The core moving on inside the press takes the screen away under its own button.
    OnboardingCallbacks movingOn;
    movingOn.onCompleteWelcome = [&] {
        controller.show(*coordinator, OnboardingStage::permissions, false, {});
    };
    showWelcome(std::move(movingOn));
    QPointer<QWidget> pressed = bar->primaryButton();
    click(pressed);
    testing::runDeferredDeletes();
    EXPECT_TRUE(pressed.isNull());
    EXPECT_EQ(controller.model().stage(), OnboardingStage::permissions);
}

TEST_F(WelcomeScreenTest, SaysThePromiseWithTheSubtitleBrokenAfterInsert) {
    auto* welcome = showWelcome();
    ASSERT_NE(welcome, nullptr);
    EXPECT_EQ(welcome->title()->text(), QStringLiteral("Faster, smarter typing."));
    EXPECT_TRUE(welcome->title()->hasGradientFill());

    // However wide, two lines (and the 2 px between them); narrow, more.
    const QFontMetricsF metrics(welcome->subtitle()->font());
    EXPECT_EQ(welcome->subtitle()->heightForWidth(4000),
              static_cast<int>(std::ceil(2 * metrics.height() + 2)));
    EXPECT_GT(welcome->subtitle()->heightForWidth(120), welcome->subtitle()->heightForWidth(4000));

    // The text block sits halfway between the 60 px gap and the bar.
    const QRect title = welcome->title()->parentWidget()->geometry();
    const int above = title.top() - 60;
    const int below = welcome->bottomBar()->geometry().top() - title.bottom() - 1;
    EXPECT_NEAR(above, below, 2);
}

// A stand-in for the application's icon: a brand-coloured rounded square.
QIcon standInIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(PNColor::brand());
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, 64, 64), 14, 14);
    return QIcon(pixmap);
}

TEST_F(WelcomeScreenTest, Screenshots) {
    QGuiApplication::setWindowIcon(standInIcon());
    ASSERT_NE(showWelcome(), nullptr);
    const QImage welcome = testing::saveScreenshot(view, QStringLiteral("welcome"));
    EXPECT_EQ(welcome.pixelColor(5, 5), QColor(Qt::black));

    // The header alone in the corner on a stage whose screen is still to come.
    controller.show(*coordinator, OnboardingStage::permissions, false, {});
    const QImage corner = testing::saveScreenshot(view, QStringLiteral("header_in_the_corner"));
    EXPECT_EQ(corner.pixelColor(24 + 8, 16 + 8), PNColor::brand()) << "the 16 px icon";
    EXPECT_EQ(corner.pixelColor(24 + 20, 16 + 8), QColor(Qt::black));

    cards.last()->content->window()->resize(360, 440);
    controller.show(*coordinator, OnboardingStage::welcome, false, {});
    view->resize(360, 440);
    testing::saveScreenshot(view, QStringLiteral("welcome_narrow"));
    QGuiApplication::setWindowIcon(QIcon());
}

} // namespace
} // namespace pennial
