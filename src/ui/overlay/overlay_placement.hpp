#pragma once
// Where the overlay's panel goes and how large it is: hanging from the notch, rising from the
// bottom of the visible screen area, or floating below the top panel. Only the notch panel reaches
// beyond the visible area (behind the top panel); the others stay inside it, clear of the panels
// along the screen's edges. Pure geometry in the screens'
// coordinates (origin at the bottom left of the primary screen, y growing upwards); the caret point
// is the accessibility layer's (origin at the top left, y growing downwards) and is compared with
// the screen's height unconverted.

#include "platform/geometry.hpp"
#include "platform/screens.hpp"

#include <cstddef>
#include <optional>

namespace pennial {

struct PaletteMetrics {
    static constexpr double paletteWidth = 200;
    static constexpr double maxPaletteHeight = 300;
    static constexpr double paletteRowHeight = 24;
    static constexpr int maxVisibleRows = 3;
    // The logo, the paddings and the gaps around the rows.
    static constexpr double paletteChrome = 28;
    static constexpr double minPaletteHeight = 48;
    // The line below the rows that says how the palette is used where its keys are not taken.
    static constexpr double paletteNoteHeight = 14;
    // The one status row that replaces the list while a command runs.
    static constexpr double processingHeight = 48;
    // How far a bottom-docked card reaches below its panel's foot, out of sight, so that its
    // spring can overshoot without lifting its square foot off the edge.
    static constexpr double bottomExtension = 20;
    // The gap below the top panel without a notch.
    static constexpr double topPanelGap = 8;
};

// The window system's stacking: the notch panel sits with the top panel, the others float.
enum class OverlayWindowLevel { floating = 3, statusBar = 25 };

// A caret is in the top third when its y is strictly below a third of the screen's height.
bool isCaretInTopThird(std::optional<Point> caretScreenPosition, const Screen& screen);
bool shouldDockToNotch(std::optional<Point> caretScreenPosition, const Screen& screen);
// One to three rows' worth, whatever the count.
Size panelSizeForPalette(std::size_t suggestionCount, bool withNote = false);
// The camera housing's width; none unless the screen reports the strips beside it.
std::optional<double> notchWidth(const Screen& screen);
double notchCenterX(const Screen& screen);
Point paletteTopLeft(Size size, std::optional<Point> caretScreenPosition, const Screen& screen);
// The strip between the screen's top and the visible area's top: the top panel.
double topPanelHeight(const Screen& screen);

// The palette panel with the docking edge's adjustments applied.
struct PalettePlacement {
    bool isNotchDocked = false;
    bool isBottomDocked = false;
    double notchHeight = 0;
    Size size;
    Point topLeft;
    OverlayWindowLevel level = OverlayWindowLevel::floating;

    Rect frame() const { return {{topLeft.x, topLeft.y - size.height}, size}; }
};

PalettePlacement placePalette(std::size_t suggestionCount, std::optional<Point> caretScreenPosition,
                              const Screen& screen, bool withNote);
inline PalettePlacement placePalette(std::size_t suggestionCount,
                                     std::optional<Point> caretScreenPosition,
                                     const Screen& screen) {
    return placePalette(suggestionCount, caretScreenPosition, screen, false);
}

// The panel shrunk to the status row: same x and width, the docking edge kept in place.
Rect processingFrame(const Rect& panelFrame, bool isNotchDocked, bool isBottomDocked,
                     const Screen& screen);

} // namespace pennial
