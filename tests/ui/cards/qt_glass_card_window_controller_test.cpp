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

#include <QLabel>
#include <QPointer>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::CardServices;
using testing::runQueued;
using testing::TwoScreens;

class CardWindowControllerTest : public ::testing::Test {
protected:
    std::unique_ptr<QtGlassCardWindowController> make(std::string id, Size size, bool resizable) {
        return std::make_unique<QtGlassCardWindowController>(
            std::move(id), size, resizable,
            [this] {
                ++built;
                auto view = std::make_unique<QLabel>(QStringLiteral("view %1").arg(built));
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

TEST_F(CardWindowControllerTest, BuildsAFixedFramelessCardCentredOnTheMainScreen) {
    auto controller = make("about", {324, 284}, false);
    EXPECT_EQ(controller->window(), nullptr);
    EXPECT_EQ(built, 0) << "the view is built with the window, not before";

    controller->show();
    GlassCardWindow* window = controller->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(controller->isVisible());
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(window->size(), QSize(324, 284));
    EXPECT_EQ(window->minimumSize(), QSize(324, 284));
    EXPECT_EQ(window->maximumSize(), QSize(324, 284));
    EXPECT_FALSE(window->isResizable());
    EXPECT_FALSE(window->titleBar()->zoomButton()->isEnabled());
    EXPECT_EQ(window->background(), QColor(Qt::black));
    EXPECT_EQ(windowIdentifier(*window), "about");
    EXPECT_EQ(cards.ownWindows->ownWindows(), (std::vector<OwnWindow>{{"about", true}}));
    // The content fills the whole card, under the title strip.
    ASSERT_EQ(window->content(), views.front().data());
    EXPECT_EQ(window->content()->geometry(), window->rect());
    EXPECT_EQ(window->windowTitle(), QString());
    // Centred in the primary screen's free area, 875 high from its bottom, the window system
    // counting from the top of the 900-point screen: 900 - 437.5 - 142, rounded.
    EXPECT_EQ(window->pos(), QPoint((1440 - 324) / 2, 321));
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"🪟 [WindowFocus] Activating app (policy: accessory)"}));
}

TEST_F(CardWindowControllerTest, AResizableCardHasOnlyAMinimumAndEdgesToResizeBy) {
    cards.screens->main = TwoScreens::secondary();
    auto controller = make("settings", {720, 600}, true);
    controller->show();
    GlassCardWindow* window = controller->window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->minimumSize(), QSize(720, 600));
    EXPECT_EQ(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    EXPECT_TRUE(window->titleBar()->zoomButton()->isEnabled());
    int grips = 0;
    for (auto* child : window->findChildren<QWidget*>())
        grips += dynamic_cast<CardResizeGrip*>(child) != nullptr;
    EXPECT_EQ(grips, 8);
    EXPECT_EQ(window->pos(), QPoint(1440 + (1920 - 720) / 2, (1080 - 600) / 2 - 180))
        << "centred on the screen the user works on";

    window->resize(900, 700);
    EXPECT_EQ(window->size(), QSize(900, 700));
    window->resize(500, 400);
    EXPECT_EQ(window->size(), QSize(720, 600)) << "never smaller than it was built";
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
    EXPECT_EQ(window->content(), views.front().data());
    EXPECT_TRUE(controller->isVisible()) << "a minimised card comes back";
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"🪟 [WindowFocus] Focusing window id=about"}));
}

TEST_F(CardWindowControllerTest, ACardClosedAndShownAgainIsBuiltAnewAtItsFirstSize) {
    auto controller = make("about", {324, 284}, false);
    controller->show();
    QPointer<GlassCardWindow> first = controller->window();
    controller->resize({400, 300}, false);
    first->titleBar()->closeButton()->click();

    EXPECT_EQ(controller->window(), nullptr) << "a closed card is forgotten at once";
    EXPECT_FALSE(controller->isVisible());
    EXPECT_FALSE(log.contains("🪟 [WindowFocus] No user windows left (policy: accessory)"))
        << "the focus rules run on a later turn";
    runQueued();
    EXPECT_TRUE(first.isNull()) << "the closed window is gone before the focus rules look";
    EXPECT_TRUE(views.front().isNull());
    EXPECT_TRUE(log.contains("🪟 [WindowFocus] No user windows left (policy: accessory)"));

    controller->show();
    ASSERT_NE(controller->window(), nullptr);
    EXPECT_EQ(built, 2) << "a new root view, with none of the old one's state";
    EXPECT_EQ(controller->window()->size(), QSize(324, 284));
}

TEST_F(CardWindowControllerTest, ACardThatMayNotCloseRefusesTheUserButNotHide) {
    auto controller = make("onboarding", {520, 440}, false);
    controller->setCanClose(false);
    controller->show();
    GlassCardWindow* window = controller->window();

    EXPECT_FALSE(window->close());
    runQueued();
    EXPECT_EQ(controller->window(), window);
    EXPECT_TRUE(controller->isVisible());

    controller->hide();
    EXPECT_TRUE(controller->canClose());
    EXPECT_EQ(controller->window(), nullptr);
    runQueued();
    EXPECT_TRUE(cards.ownWindows->ownWindows().empty());
}

TEST_F(CardWindowControllerTest, HideWithoutAWindowOnlyAllowsClosing) {
    auto controller = make("onboarding", {520, 440}, false);
    controller->setCanClose(false);
    controller->hide();
    runQueued();
    EXPECT_TRUE(controller->canClose());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(CardWindowControllerTest, AWindowShownRightAfterHideIsKeptWhenTheOldOneGoes) {
    auto controller = make("onboarding", {520, 440}, false);
    controller->show();
    QPointer<GlassCardWindow> first = controller->window();
    controller->hide();
    controller->show();
    GlassCardWindow* second = controller->window();
    runQueued();

    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(controller->window(), second);
    EXPECT_TRUE(controller->isVisible());
    EXPECT_FALSE(log.contains("🪟 [WindowFocus] No user windows left (policy: accessory)"));
}

TEST_F(CardWindowControllerTest, DroppingTheControllerClosesItsWindow) {
    auto controller = make("settings", {720, 600}, true);
    controller->show();
    QPointer<GlassCardWindow> window = controller->window();
    controller.reset();
    runQueued();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(log.contains("🪟 [WindowFocus] No user windows left (policy: accessory)"));
}

TEST_F(CardWindowControllerTest, ResizeKeepsTheCentreAndFixesTheSize) {
    auto controller = make("settings", {720, 600}, true);
    controller->resize({780, 520}, true);
    EXPECT_EQ(controller->window(), nullptr);

    controller->show();
    GlassCardWindow* window = controller->window();
    const QPoint centre = window->geometry().center();
    controller->resize({780, 520}, true);
    EXPECT_EQ(window->size(), QSize(780, 520));
    EXPECT_EQ(window->minimumSize(), QSize(780, 520));
    EXPECT_EQ(window->maximumSize(), QSize(780, 520)) << "fixed even in a resizable card";
    EXPECT_EQ(window->geometry().center(), centre);

    controller->resize({520, 440}, false);
    EXPECT_EQ(window->size(), QSize(520, 440));
    EXPECT_EQ(window->geometry().center(), centre);
}

TEST_F(CardWindowControllerTest, TheTitleStripHidesItsButtonsAndShowsTheWordmarkOnRequest) {
    auto plain = make("about", {324, 284}, false);
    plain->show();
    CardTitleBar* bar = plain->window()->titleBar();
    EXPECT_EQ(bar->logo(), nullptr);
    for (auto* button : {bar->closeButton(), bar->minimizeButton(), bar->zoomButton()})
        EXPECT_TRUE(button->isVisible());

    auto settings = make("settings", {720, 600}, true);
    settings->setShowTitlebarLogo(true);
    settings->setHideButtons(true);
    settings->show();
    GlassCardWindow* window = settings->window();
    bar = window->titleBar();
    ASSERT_NE(bar->logo(), nullptr);
    EXPECT_EQ(bar->logo()->size(), QSize(66, 13));
    EXPECT_EQ(bar->logo()->geometry().center().x(), window->width() / 2 - 1);
    EXPECT_EQ(bar->logo()->geometry().center().y(), CardTitleBar::height / 2 - 1);
    EXPECT_EQ(window->windowTitle(), QStringLiteral(" "));
    for (auto* button : {bar->closeButton(), bar->minimizeButton(), bar->zoomButton()})
        EXPECT_FALSE(button->isVisible());
}

TEST_F(CardWindowControllerTest, TheCardIsRoundedAndInItsBackgroundColour) {
    auto controller = std::make_unique<QtGlassCardWindowController>("about", Size{324, 284}, false,
                                                                    nullptr, cards.services());
    controller->setOpaqueBackground(QColor(20, 40, 60));
    controller->setShowTitlebarLogo(true);
    controller->show();
    GlassCardWindow* window = controller->window();
    EXPECT_EQ(window->content(), nullptr) << "no builder: an empty card";

    const QImage image = testing::saveScreenshot(*window, "empty_card_with_wordmark");
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "the corner outside the rounding is clear";
    EXPECT_EQ(image.pixelColor(162, 200), QColor(20, 40, 60));
    // The wordmark shows faintly in the title strip's middle.
    bool wordmark = false;
    for (int x = 162 - 33; x < 162 + 33 && !wordmark; ++x)
        for (int y = 8; y < 21 && !wordmark; ++y)
            wordmark = image.pixelColor(x, y) != QColor(20, 40, 60);
    EXPECT_TRUE(wordmark);
}

TEST_F(CardWindowControllerTest, FocusChangesReachTheCallbacksOnALaterTurn) {
    auto first = make("onboarding", {520, 440}, false);
    int becameKey = 0;
    int resignedKey = 0;
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

    first->show();
    testing::processUntilActive(first->window());
    runQueued();
    EXPECT_EQ(becameKey, 2);

    first->setOnWindowDidBecomeKey(nullptr);
    second->show();
    testing::processUntilActive(second->window());
    first->show();
    testing::processUntilActive(first->window());
    runQueued();
    EXPECT_EQ(becameKey, 2) << "a cleared callback is not called";
}

} // namespace
} // namespace pennial
