#include "support/test_seed.hpp"
#include "ui/overlay/overlay_placement.hpp"
#include "ui/overlay/overlay_screens.hpp"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace pennial {
namespace {

using testing::notchedScreen;
using testing::plainScreen;

TEST(OverlayPlacement, PaletteHeightFollowsOneToThreeRows) {
    EXPECT_EQ(panelSizeForPalette(0), (Size{200, 52}));
    EXPECT_EQ(panelSizeForPalette(1), (Size{200, 52}));
    EXPECT_EQ(panelSizeForPalette(2), (Size{200, 76}));
    EXPECT_EQ(panelSizeForPalette(3), (Size{200, 100}));
    EXPECT_EQ(panelSizeForPalette(10), (Size{200, 100}));
}

TEST(OverlayPlacement, TheNotchIsTheGapBetweenTheStripsBesideTheCamera) {
    EXPECT_EQ(notchWidth(notchedScreen()), 200);
    EXPECT_EQ(notchCenterX(notchedScreen()), 756);

    // Strips off centre: the notch's own centre, not the screen's.
    Screen offCentre = notchedScreen();
    offCentre.auxiliaryTopLeftArea->size.width = 600;
    offCentre.auxiliaryTopRightArea->origin.x = 820;
    EXPECT_EQ(notchWidth(offCentre), 220);
    EXPECT_EQ(notchCenterX(offCentre), 710);

    // One strip alone says nothing about the notch.
    Screen oneStrip = notchedScreen();
    oneStrip.auxiliaryTopRightArea.reset();
    EXPECT_EQ(notchWidth(oneStrip), std::nullopt);
    EXPECT_EQ(notchCenterX(oneStrip), 756);
    EXPECT_EQ(notchWidth(plainScreen()), std::nullopt);
    EXPECT_EQ(notchCenterX(plainScreen()), 960);
}

TEST(OverlayPlacement, DocksToTheNotchUnlessTheCaretIsInTheTopThird) {
    const Screen screen = notchedScreen(); // a third of 982 is 327.33...
    EXPECT_TRUE(shouldDockToNotch(std::nullopt, screen));
    EXPECT_TRUE(shouldDockToNotch(Point{100, 982.0 / 3}, screen)); // exactly a third: not above it
    EXPECT_TRUE(shouldDockToNotch(Point{100, 900}, screen));
    EXPECT_FALSE(shouldDockToNotch(Point{100, 327}, screen));
    EXPECT_FALSE(shouldDockToNotch(Point{100, 0}, screen));
    EXPECT_FALSE(shouldDockToNotch(std::nullopt, plainScreen()));

    // A notch is the top inset alone; negative or zero insets are none.
    Screen negative = notchedScreen();
    negative.safeAreaTopInset = -1;
    EXPECT_FALSE(shouldDockToNotch(std::nullopt, negative));
}

TEST(OverlayPlacement, HangsFromTheNotchBehindTheTopPanel) {
    const auto placement = placePalette(2, Point{400, 600}, notchedScreen());
    EXPECT_TRUE(placement.isNotchDocked);
    EXPECT_FALSE(placement.isBottomDocked);
    EXPECT_EQ(placement.notchHeight, 32);
    EXPECT_EQ(placement.size, (Size{200, 76 + 37})); // the notch's width; rows + top panel
    EXPECT_EQ(placement.topLeft, (Point{656, 982}));
    EXPECT_EQ(placement.level, OverlayWindowLevel::statusBar);
    EXPECT_EQ(placement.frame(), (Rect{{656, 982 - 113}, {200, 113}}));
}

TEST(OverlayPlacement, ANotchWithoutStripsKeepsThePaletteWidthAtTheScreenCentre) {
    Screen screen = notchedScreen();
    screen.auxiliaryTopLeftArea.reset();
    screen.auxiliaryTopRightArea.reset();
    screen.frame.origin.x = 1000; // a secondary screen to the right

    const auto placement = placePalette(1, std::nullopt, screen);
    EXPECT_TRUE(placement.isNotchDocked);
    EXPECT_EQ(placement.size, (Size{200, 52 + 37}));
    EXPECT_EQ(placement.topLeft, (Point{1000 + 756 - 100, 982}));
}

TEST(OverlayPlacement, RisesFromTheBottomWhenTheCaretIsInTheTopThird) {
    for (const Screen& screen : {notchedScreen(), plainScreen()}) {
        SCOPED_TRACE(screen.safeAreaTopInset);
        const auto placement = placePalette(3, Point{50, 10}, screen);
        EXPECT_FALSE(placement.isNotchDocked);
        EXPECT_TRUE(placement.isBottomDocked);
        EXPECT_EQ(placement.notchHeight, 0);
        EXPECT_EQ(placement.size, (Size{200, 100}));
        EXPECT_EQ(placement.level, OverlayWindowLevel::floating);
        // Centred on the visible area, standing on its foot.
        EXPECT_EQ(placement.topLeft.x, screen.visibleFrame.midX() - 100);
        EXPECT_EQ(placement.frame().minY(), screen.visibleFrame.minY());
    }
}

std::string shown(const Rect& frame) {
    return "(" + std::to_string(frame.minX()) + ", " + std::to_string(frame.minY()) + ") " +
           std::to_string(frame.size.width) + " x " + std::to_string(frame.size.height);
}

TEST(OverlayPlacement, OnSmallScreensThePaletteAndTheStatusRowStayInTheFreeArea) {
    const auto seed = testing::testSeed();
    SCOPED_TRACE(testing::seedTrace(seed));
    std::mt19937 random(seed);
    // Anywhere on and around a desktop of a few screens, and now and then no caret at all.
    std::uniform_real_distribution<double> caretX(-200, 3500);
    std::uniform_real_distribution<double> caretY(-200, 1300);
    std::uniform_int_distribution<std::size_t> suggestions(0, 6);
    for (const auto& [name, screen, scale] : testing::smallScreens()) {
        SCOPED_TRACE(name);
        for (int round = 0; round < 100; ++round) {
            std::optional<Point> caret;
            if (round % 10 != 0)
                caret = Point{caretX(random), caretY(random)};
            const auto placement = placePalette(suggestions(random), caret, screen);
            const Rect panel = placement.frame();
            const Rect status =
                processingFrame(panel, placement.isNotchDocked, placement.isBottomDocked, screen);
            const std::string where =
                caret ? std::to_string(caret->x) + ", " + std::to_string(caret->y)
                      : std::string("none");
            ASSERT_TRUE(testing::liesInside(panel, screen.visibleFrame))
                << shown(panel) << " for the caret at " << where;
            ASSERT_TRUE(testing::liesInside(status, screen.visibleFrame))
                << shown(status) << " for the caret at " << where;
            if (placement.isBottomDocked) // on the foot of the free area, not above it
                ASSERT_EQ(status.minY(), screen.visibleFrame.minY()) << where;
        }
    }
}

TEST(OverlayPlacement, FloatsBelowTheTopPanelWithoutANotch) {
    for (const auto caret : {std::optional<Point>{}, std::optional<Point>{Point{5, 360}},
                             std::optional<Point>{Point{1900, 1079}}}) {
        const auto placement = placePalette(0, caret, plainScreen());
        EXPECT_FALSE(placement.isNotchDocked || placement.isBottomDocked);
        EXPECT_EQ(placement.size, (Size{200, 52}));
        EXPECT_EQ(placement.topLeft, (Point{860, 1053 - 8}));
        EXPECT_EQ(placement.level, OverlayWindowLevel::floating);
    }
}

TEST(OverlayPlacement, TheStatusRowKeepsTheDockedEdgeWidthAndX) {
    const Screen notched = notchedScreen();
    const Rect atNotch{{656, 869}, {200, 113}};
    EXPECT_EQ(processingFrame(atNotch, true, false, notched), (Rect{{656, 982 - 85}, {200, 85}}));

    const Rect atBottom{{656, 50}, {200, 120}};
    EXPECT_EQ(processingFrame(atBottom, false, true, notched), (Rect{{656, 50}, {200, 48}}));

    const Rect belowTopPanel{{860, 993}, {200, 52}};
    EXPECT_EQ(processingFrame(belowTopPanel, false, false, plainScreen()),
              (Rect{{860, 997}, {200, 48}}));
}

} // namespace
} // namespace pennial
