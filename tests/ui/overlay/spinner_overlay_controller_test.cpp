#include "overlay_screens.hpp"
#include "ui/overlay/palette_row.hpp"
#include "ui/overlay/spinner_overlay_controller.hpp"
#include "ui_support/qt_wait.hpp"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using namespace std::chrono_literals;
using testing::notchedScreen;
using testing::plainScreen;
using testing::processEventsFor;
using testing::processEventsUntil;
using testing::processQueuedEvents;

class ListedScreens : public Screens {
public:
    std::vector<Screen> screens() override { return list; }
    std::optional<Screen> mainScreen() override {
        return list.empty() ? std::nullopt : std::optional(list.front());
    }
    Point fromDevicePixels(Point point) override { return {point.x / scale, point.y / scale}; }
    std::vector<Screen> list;
    double scale = 1;
};

constexpr auto tearDownDelay = 60ms;

class SpinnerOverlayControllerTest : public ::testing::Test {
protected:
    SpinnerOverlayControllerTest() { screens->list = {plainScreen(), notchedScreen()}; }

    static std::vector<TemplateSuggestion> rows(int count) {
        std::vector<TemplateSuggestion> rows;
        for (int i = 0; i < count; ++i)
            rows.push_back({"cmd" + std::to_string(i), "Command " + std::to_string(i), false});
        return rows;
    }

    void show(int rowCount, std::optional<Point> caret, std::optional<Screen> screen,
              SpinnerOverlay::SelectHandler onSelect = {}) {
        overlay.showCommandPalette(rows(rowCount), "com", 0, caret, std::move(onSelect),
                                   std::move(screen));
    }

    // Shown and slid in.
    void showRevealed(int rowCount, std::optional<Point> caret, std::optional<Screen> screen,
                      SpinnerOverlay::SelectHandler onSelect = {}) {
        show(rowCount, caret, std::move(screen), std::move(onSelect));
        processQueuedEvents();
        ASSERT_TRUE(model().isRevealed());
    }

    PaletteRow* row(const std::string& name) const {
        return overlay.panel()->findChild<PaletteRow*>(QString::fromStdString(name));
    }

    const SpinnerStatusModel& model() const { return overlay.statusModel(); }

    std::shared_ptr<ListedScreens> screens = std::make_shared<ListedScreens>();
    SpinnerOverlayController overlay{screens, {tearDownDelay, 20ms}};
};

TEST_F(SpinnerOverlayControllerTest, WithoutScreensAShowChangesNothing) {
    screens->list.clear();
    show(2, std::nullopt, std::nullopt);
    EXPECT_EQ(overlay.panel(), nullptr);
    EXPECT_EQ(model().mode(), SpinnerOverlayMode::processing);

    // Not even the generation: a pending tear-down still happens.
    screens->list = {plainScreen()};
    showRevealed(1, std::nullopt, std::nullopt);
    overlay.hide();
    screens->list.clear();
    show(1, std::nullopt, std::nullopt);
    ASSERT_TRUE(processEventsUntil([&] { return !overlay.isVisible(); }));
    EXPECT_EQ(overlay.panel(), nullptr);
}

TEST_F(SpinnerOverlayControllerTest, AFirstShowBuildsThePanelThenSlidesTheCardInOneTurnLater) {
    int visibilityChanges = 0;
    auto connection = overlay.visibilityChanged().connect([&] { ++visibilityChanges; });
    show(2, Point{400, 600}, notchedScreen());

    EXPECT_EQ(model().mode(), SpinnerOverlayMode::commandPalette);
    EXPECT_EQ(model().query(), "com");
    EXPECT_EQ(model().suggestions(), rows(2));
    EXPECT_TRUE(model().isNotchDocked());
    EXPECT_EQ(model().panelHeight(), 76 + 37);
    EXPECT_FALSE(model().isRevealed());
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_EQ(visibilityChanges, 1);

    ASSERT_NE(overlay.panel(), nullptr);
    EXPECT_TRUE(overlay.panel()->isVisible());
    // The window system counts down from the primary (plain) screen's top edge.
    EXPECT_EQ(overlay.panel()->geometry(), QRect(656, 1080 - 982, 200, 113));

    processQueuedEvents();
    EXPECT_TRUE(model().isRevealed());
}

TEST_F(SpinnerOverlayControllerTest, ThePanelNeverTakesFocus) {
    // The window the user types in.
    QWidget editor;
    editor.setGeometry(100, 100, 300, 200);
    editor.show();
    editor.activateWindow();
    processEventsUntil([&] { return editor.isActiveWindow(); }, 1s);

    showRevealed(3, std::nullopt, std::nullopt);
    QWidget* panel = overlay.panel();
    const auto flags = panel->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Tool));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    for (const QWidget* widget : panel->findChildren<QWidget*>())
        EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus) << widget->metaObject()->className();
    row("cmd1")->click();
    processEventsFor(50ms);
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    // The offscreen platform activates every window it shows; a real display does not.
    if (QGuiApplication::platformName() != "offscreen") {
        EXPECT_TRUE(editor.isActiveWindow());
        EXPECT_FALSE(panel->isActiveWindow());
    }
}

TEST_F(SpinnerOverlayControllerTest, AShowWhileUpUpdatesInPlaceAndReplacesTheClickHandler) {
    std::vector<std::string> first, second;
    showRevealed(1, Point{400, 600}, notchedScreen(),
                 [&](const std::string& name) { first.push_back(name); });
    QWidget* panel = overlay.panel();

    // The caret moved into the top third: the same panel moves to the bottom edge.
    overlay.showCommandPalette(
        rows(3), "", 2, Point{400, 100}, [&](const std::string& name) { second.push_back(name); },
        notchedScreen());
    EXPECT_TRUE(model().isRevealed()); // no fresh reveal
    EXPECT_EQ(overlay.panel(), panel);
    EXPECT_TRUE(model().isBottomDocked());
    EXPECT_FALSE(model().isNotchDocked());
    EXPECT_EQ(model().notchHeight(), 0);
    EXPECT_EQ(model().selectedIndex(), 2);
    EXPECT_EQ(overlay.panelLevel(), OverlayWindowLevel::floating);
    EXPECT_FALSE(overlay.panel()->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_EQ(overlay.panelFrame(), (Rect{{656, 70}, {200, 100}})); // on the bottom panel
    EXPECT_TRUE(panel->isVisible());

    processQueuedEvents();
    EXPECT_TRUE(model().isRevealed());
    row("cmd2")->click();
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second, std::vector<std::string>{"cmd2"});
}

TEST_F(SpinnerOverlayControllerTest, HideSlidesTheCardOutAndTearsDownOnceAfterTheDelay) {
    showRevealed(2, std::nullopt, plainScreen());
    int visibilityChanges = 0;
    auto connection = overlay.visibilityChanged().connect([&] { ++visibilityChanges; });

    overlay.hide();
    EXPECT_FALSE(model().isRevealed());
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_NE(overlay.panel(), nullptr);
    overlay.hide(); // already leaving: ignored

    processQueuedEvents(); // only the delay ends it
    EXPECT_TRUE(overlay.isVisible());
    ASSERT_TRUE(processEventsUntil([&] { return !overlay.isVisible(); }));
    EXPECT_EQ(overlay.panel(), nullptr);
    EXPECT_EQ(visibilityChanges, 1);
    // The tear-down keeps what the next show overwrites anyway.
    EXPECT_EQ(model().mode(), SpinnerOverlayMode::commandPalette);
    EXPECT_EQ(model().suggestions(), rows(2));

    overlay.hide(); // hidden: nothing
    EXPECT_EQ(visibilityChanges, 1);
}

TEST_F(SpinnerOverlayControllerTest, AShowDuringTheSlideOutKeepsThePanelAndBringsTheCardBack) {
    showRevealed(2, std::nullopt, plainScreen());
    QWidget* panel = overlay.panel();
    overlay.hide();
    show(3, std::nullopt, plainScreen());

    EXPECT_TRUE(model().isRevealed());
    processEventsFor(tearDownDelay * 2);
    EXPECT_EQ(overlay.panel(), panel);
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_TRUE(model().isRevealed());

    // And the next hide works as ever.
    overlay.hide();
    ASSERT_TRUE(processEventsUntil([&] { return !overlay.isVisible(); }));
}

TEST_F(SpinnerOverlayControllerTest, APaletteShownWhileTheProcessingCardSlidesOutDrawsRows) {
    showRevealed(2, std::nullopt, plainScreen());
    overlay.transitionToProcessing();
    overlay.hide();
    show(3, std::nullopt, plainScreen());

    EXPECT_FALSE(model().isProcessing());
    EXPECT_EQ(overlay.panelFrame().size, (Size{200, 24 * 3 + 28}));
    processQueuedEvents(); // new rows show on the next turn
    ASSERT_NE(row("cmd2"), nullptr);
    EXPECT_TRUE(row("cmd2")->isVisibleTo(overlay.panel()));
    // The verb cycle stopped with the processing state.
    const std::string verb = model().verb();
    processEventsFor(60ms);
    EXPECT_EQ(model().verb(), verb);
}

TEST_F(SpinnerOverlayControllerTest, OnAScaledScreenTheCaretIsReadInTheScreensOwnPixels) {
    // 1080 points high, 2160 device pixels: a caret 600 device pixels down is 300 points down,
    // in the top third, so the palette rises from the bottom edge.
    screens->scale = 2;
    show(1, Point{900, 600}, plainScreen());
    EXPECT_TRUE(model().isBottomDocked());
    show(1, Point{900, 800}, plainScreen()); // 400 points: below the top third
    EXPECT_FALSE(model().isBottomDocked());
}

TEST_F(SpinnerOverlayControllerTest, AHideBeforeTheCardIsRevealedTearsDownAtOnce) {
    show(1, std::nullopt, plainScreen());
    overlay.hide();
    EXPECT_FALSE(overlay.isVisible());
    EXPECT_EQ(overlay.panel(), nullptr);

    // The queued reveal still lands, on a model without a panel; the next show starts afresh.
    processQueuedEvents();
    show(1, std::nullopt, plainScreen());
    EXPECT_FALSE(model().isRevealed());
    processQueuedEvents();
    EXPECT_TRUE(model().isRevealed());
}

TEST_F(SpinnerOverlayControllerTest, AClickAfterTearDownReachesNobody) {
    int clicks = 0;
    show(1, std::nullopt, plainScreen(), [&](const std::string&) { ++clicks; });
    PaletteRow* stale = row("cmd0");
    overlay.hide(); // not yet revealed: torn down at once, the panel deleted on a later turn
    ASSERT_FALSE(overlay.isVisible());
    stale->click();
    EXPECT_EQ(clicks, 0);
}

TEST_F(SpinnerOverlayControllerTest, AClickHandlerMayHideTheOverlay) {
    std::vector<std::string> clicked;
    showRevealed(2, std::nullopt, plainScreen(), [&](const std::string& name) {
        clicked.push_back(name);
        overlay.hide();
    });
    row("cmd1")->click();
    EXPECT_EQ(clicked, std::vector<std::string>{"cmd1"});
    ASSERT_TRUE(processEventsUntil([&] { return !overlay.isVisible(); }));
}

TEST_F(SpinnerOverlayControllerTest, ProcessingAtTheNotchShrinksThePanelUnderTheTopPanel) {
    showRevealed(3, std::nullopt, notchedScreen());
    overlay.transitionToProcessing();

    EXPECT_TRUE(model().isProcessing());
    EXPECT_NE(model().verb(), "Applying");
    EXPECT_EQ(model().mode(), SpinnerOverlayMode::commandPalette);
    EXPECT_EQ(model().suggestions(), rows(3));
    EXPECT_EQ(model().panelHeight(), 48 + 37);
    EXPECT_EQ(overlay.panelFrame(), (Rect{{656, 982 - 85}, {200, 85}})); // the top stays
    EXPECT_EQ(overlay.panel()->height(), 85);

    // The verb changes on its own while the command runs, and stops with the tear-down.
    const std::string first = model().verb();
    int changes = 0;
    auto counting = const_cast<SpinnerStatusModel&>(model()).changed().connect([&] { ++changes; });
    ASSERT_TRUE(processEventsUntil([&] { return changes >= 3; }));

    overlay.hide(); // revealed: slides out like the palette
    EXPECT_TRUE(overlay.isVisible());
    ASSERT_TRUE(processEventsUntil([&] { return !overlay.isVisible(); }));
    EXPECT_FALSE(model().isProcessing());
    const std::string last = model().verb();
    processEventsFor(60ms);
    EXPECT_EQ(model().verb(), last);
}

TEST_F(SpinnerOverlayControllerTest, ProcessingAtTheBottomEdgeKeepsTheBottomEdge) {
    showRevealed(2, Point{10, 10}, plainScreen());
    const Rect before = overlay.panelFrame();
    overlay.transitionToProcessing();
    overlay.transitionToProcessing();
    EXPECT_EQ(overlay.panelFrame(), (Rect{before.origin, {200, 48}}));
    EXPECT_EQ(model().panelHeight(), 48);
}

TEST_F(SpinnerOverlayControllerTest, ProcessingWithoutAPaletteShowsAndKeepsNothing) {
    overlay.transitionToProcessing();
    EXPECT_FALSE(model().isProcessing());
    EXPECT_EQ(model().verb(), "Applying");
    EXPECT_FALSE(overlay.isVisible());

    // So the next palette shows its rows, not a stale status row.
    showRevealed(1, std::nullopt, plainScreen());
    EXPECT_FALSE(model().isProcessing());
}

} // namespace
} // namespace pennial
