// The card window controller: the window it builds, when it builds a new one, closing, resizing,
// the title strip and the focus callbacks.

#include "base/log.hpp"
#include "cards_test_support.hpp"
#include "ui/cards/card_resize_grip.hpp"
#include "ui/cards/card_title_bar.hpp"
#include "ui/cards/card_window_button.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/qt_glass_card_window_controller.hpp"
#include "ui/cards/window_identifier.hpp"
#include "ui/design/pn_animations.hpp"

#include <QLabel>
#include <QPointer>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::CardServices;
using testing::runQueued;

const std::string noWindowsLeft = "🪟 [WindowFocus] No user windows left (policy: accessory)";

class CardWindowControllerTest : public ::testing::Test {
protected:
    std::unique_ptr<QtGlassCardWindowController> make(std::string id, Size size, bool resizable) {
        return std::make_unique<QtGlassCardWindowController>(
            std::move(id), size, resizable,
            [this] {
                ++built;
                auto view = std::make_unique<QLabel>();
                views.push_back(view.get());
                return view;
            },
            cards.services());
    }

    void TearDown() override { runQueued(); }

    CardServices cards;
    LogCapture log;
    int built = 0;
    std::vector<QPointer<QWidget>> views;
};

TEST_F(CardWindowControllerTest, BuildsAFixedCardCentredOnTheMainScreen) {
    auto controller = make("about", {324, 284}, false);
    EXPECT_EQ(built, 0) << "the view is built with the window, not before";

    controller->show();
    GlassCardWindow* window = controller->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(controller->isVisible());
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->size(), QSize(324, 284));
    EXPECT_EQ(window->minimumSize(), QSize(324, 284));
    EXPECT_EQ(window->maximumSize(), QSize(324, 284));
    EXPECT_FALSE(window->titleBar()->zoomButton()->isEnabled());
    EXPECT_EQ(window->titleBar()->logo(), nullptr);
    EXPECT_EQ(windowIdentifier(*window), "about");
    EXPECT_EQ(cards.ownWindows->ownWindows(), (std::vector<OwnWindow>{{"about", true}}));
    ASSERT_EQ(window->content(), views.front().data());
    EXPECT_EQ(window->content()->geometry(), window->rect());
    // In the middle of the free area (875 high from the bottom of the 900-point screen): the
    // window system's y is 900 - 437.5 - 142, rounded.
    EXPECT_EQ(window->pos(), QPoint((1440 - 324) / 2, 321));
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"🪟 [WindowFocus] Activating app (policy: accessory)"}));
}

TEST_F(CardWindowControllerTest, AResizableCardHasOnlyAMinimumAndEdgesToResizeBy) {
    cards.screens->main = testing::TwoScreens::secondary();
    auto controller = make("settings", {720, 600}, true);
    controller->show();
    GlassCardWindow* window = controller->window();
    EXPECT_EQ(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    EXPECT_TRUE(window->titleBar()->zoomButton()->isEnabled());
    int grips = 0;
    for (auto* child : window->findChildren<QWidget*>())
        grips += dynamic_cast<CardResizeGrip*>(child) != nullptr;
    EXPECT_EQ(grips, 8);
    EXPECT_EQ(window->pos(), QPoint(1440 + (1920 - 720) / 2, (1080 - 600) / 2 - 180));

    window->resize(900, 700);
    EXPECT_EQ(window->size(), QSize(900, 700));
    window->resize(500, 400);
    EXPECT_EQ(window->size(), QSize(720, 600));
}

TEST_F(CardWindowControllerTest, ShowingAnOpenCardOnlyBringsItForward) {
    auto controller = make("about", {324, 284}, false);
    controller->show();
    GlassCardWindow* window = controller->window();
    window->showMinimized();
    EXPECT_FALSE(controller->isVisible());
    log.clear();

    controller->show();
    EXPECT_EQ(controller->window(), window);
    EXPECT_EQ(built, 1);
    EXPECT_TRUE(controller->isVisible()) << "a minimised card comes back";
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"🪟 [WindowFocus] Focusing window id=about"}));
}

TEST_F(CardWindowControllerTest, AShownCardBuriedUnderOtherWindowsIsNotVisible) {
    auto controller = make("onboarding", {520, 440}, false);
    controller->show();
    ASSERT_TRUE(controller->isVisible());
    const auto native = controller->window()->winId();
    cards.visibility->setCovered(native, true);
    EXPECT_FALSE(controller->isVisible());
    cards.visibility->setCovered(native, false);
    EXPECT_TRUE(controller->isVisible());
}

TEST_F(CardWindowControllerTest, ACardClosedAndShownAgainIsBuiltAnewAtItsFirstSize) {
    auto controller = make("about", {324, 284}, false);
    controller->show();
    QPointer<GlassCardWindow> first = controller->window();
    controller->resize({400, 300}, false);
    first->titleBar()->closeButton()->click();

    EXPECT_EQ(controller->window(), nullptr);
    EXPECT_FALSE(log.contains(noWindowsLeft)) << "the focus rules run on a later turn";
    runQueued();
    EXPECT_TRUE(first.isNull()) << "gone before the focus rules look for what is left";
    EXPECT_TRUE(log.contains(noWindowsLeft));

    controller->show();
    EXPECT_EQ(built, 2) << "a new root view, with none of the old one's state";
    EXPECT_EQ(controller->window()->size(), QSize(324, 284));
}

TEST_F(CardWindowControllerTest, ACardThatMayNotCloseRefusesTheUserButNotHide) {
    auto controller = make("onboarding", {520, 440}, false);
    controller->setCanClose(false);
    controller->hide();
    EXPECT_TRUE(controller->canClose()) << "hide without a window only allows closing";

    controller->setCanClose(false);
    controller->show();
    EXPECT_FALSE(controller->window()->close());
    runQueued();
    EXPECT_TRUE(controller->isVisible());

    controller->hide();
    EXPECT_TRUE(controller->canClose());
    EXPECT_EQ(controller->window(), nullptr);
    runQueued();
    EXPECT_TRUE(cards.ownWindows->ownWindows().empty());
}

TEST_F(CardWindowControllerTest, AWindowShownRightAfterHideOutlivesTheOldOnesClose) {
    auto controller = make("onboarding", {520, 440}, false);
    controller->show();
    controller->hide();
    controller->show();
    GlassCardWindow* second = controller->window();
    runQueued();
    EXPECT_EQ(controller->window(), second);
    EXPECT_TRUE(controller->isVisible());
    EXPECT_FALSE(log.contains(noWindowsLeft));

    controller.reset();
    runQueued();
    EXPECT_TRUE(log.contains(noWindowsLeft)) << "dropping the controller closes its window";
}

TEST_F(CardWindowControllerTest, ResizeKeepsTheCentreAndFixesTheSize) {
    auto controller = make("settings", {720, 600}, true);
    controller->resize({780, 520}, false);
    EXPECT_EQ(controller->window(), nullptr);

    controller->show();
    GlassCardWindow* window = controller->window();
    const QPoint centre = window->geometry().center();
    PNAnimations::setEnabled(true);
    controller->resize({780, 520}, true);
    const bool between =
        testing::processUntil([&] { return window->width() > 720 && window->width() < 780; });
    testing::processUntil([&] { return window->maximumSize() == QSize(780, 520); });
    EXPECT_TRUE(between) << "the old limits must not hold the frames in between";
    EXPECT_EQ(window->size(), QSize(780, 520));
    EXPECT_EQ(window->minimumSize(), QSize(780, 520)) << "fixed even in a resizable card";
    EXPECT_EQ(window->geometry().center(), centre);

    // A newer size given while the window is on its way to another is where it ends.
    controller->resize({600, 600}, true);
    testing::processUntil([&] { return window->width() < 780; });
    controller->resize({520, 440}, false);
    testing::processEventsFor(std::chrono::milliseconds(300));
    PNAnimations::setEnabled(false);
    EXPECT_EQ(window->size(), QSize(520, 440));
    EXPECT_EQ(window->maximumSize(), QSize(520, 440));
    EXPECT_EQ(window->geometry().center(), centre);
}

TEST_F(CardWindowControllerTest, TheCardIsRoundedWithItsViewClippedAndItsStripOnTop) {
    QtGlassCardWindowController controller(
        "settings", {720, 600}, true,
        [] {
            auto view = std::make_unique<QWidget>();
            view->setAutoFillBackground(true);
            QPalette palette = view->palette();
            palette.setColor(QPalette::Window, QColor(36, 36, 40));
            view->setPalette(palette);
            return view;
        },
        cards.services());
    controller.setShowTitlebarLogo(true);
    controller.show();
    GlassCardWindow* window = controller.window();
    QWidget* logo = window->titleBar()->logo();
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->geometry(), QRect(QPoint((720 - 66) / 2, (28 - 13) / 2), QSize(66, 13)));
    EXPECT_EQ(window->windowTitle(), QStringLiteral(" "));

    const QImage image = testing::saveScreenshot(*window, "settings_card");
    for (QPoint corner : {QPoint(0, 0), QPoint(719, 0), QPoint(0, 599), QPoint(719, 599)})
        EXPECT_EQ(image.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
    EXPECT_EQ(image.pixelColor(360, 300), QColor(36, 36, 40));
    EXPECT_NE(image.pixelColor(720 - 10 - CardWindowButton::diameter / 2, 14), QColor(36, 36, 40));
}

TEST_F(CardWindowControllerTest, AnEmptyCardInItsOwnColourWithoutButtons) {
    QtGlassCardWindowController controller("onboarding", {520, 440}, false, nullptr,
                                           cards.services());
    controller.setOpaqueBackground(QColor(20, 40, 60));
    controller.setHideButtons(true);
    controller.show();
    GlassCardWindow* window = controller.window();
    EXPECT_EQ(window->content(), nullptr);
    const QImage image = testing::saveScreenshot(*window, "empty_card_without_buttons");
    for (int x = 400; x < 520; ++x)
        ASSERT_EQ(image.pixelColor(x, 14), QColor(20, 40, 60)) << x;
}

TEST_F(CardWindowControllerTest, FocusChangesReachTheCallbacksOnALaterTurn) {
    int becameKey = 0;
    int resignedKey = 0;
    auto first = make("onboarding", {520, 440}, false);
    first->setOnWindowDidBecomeKey([&] { ++becameKey; });
    first->setOnWindowDidResignKey([&] { ++resignedKey; });
    first->show();
    if (!testing::processUntilActive(first->window()))
        GTEST_SKIP() << "this platform does not activate windows";
    runQueued();
    EXPECT_EQ(becameKey, 1);

    auto second = make("about", {324, 284}, false);
    second->show();
    testing::processUntilActive(second->window());
    runQueued();
    EXPECT_EQ(resignedKey, 1);

    first->setOnWindowDidBecomeKey(nullptr);
    first->show();
    testing::processUntilActive(first->window());
    runQueued();
    EXPECT_EQ(becameKey, 1) << "a cleared callback is not called";

    // The creator goes with its controller: a change queued as the window closes is dropped.
    first.reset();
    runQueued();
    EXPECT_EQ(resignedKey, 1);
}

} // namespace
} // namespace pennial
