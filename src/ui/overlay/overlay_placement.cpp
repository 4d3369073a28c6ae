#include "ui/overlay/overlay_placement.hpp"

#include <algorithm>

namespace pennial {

bool isCaretInTopThird(std::optional<Point> caretScreenPosition, const Screen& screen) {
    return caretScreenPosition && caretScreenPosition->y < screen.frame.size.height / 3;
}

bool shouldDockToNotch(std::optional<Point> caretScreenPosition, const Screen& screen) {
    if (!(screen.safeAreaTopInset > 0))
        return false;
    return !isCaretInTopThird(caretScreenPosition, screen);
}

Size panelSizeForPalette(std::size_t suggestionCount, bool withNote) {
    using M = PaletteMetrics;
    const auto rows = std::clamp<std::size_t>(suggestionCount, 1, M::maxVisibleRows);
    const double height =
        std::min(std::max(M::paletteRowHeight * static_cast<double>(rows) + M::paletteChrome,
                          M::minPaletteHeight),
                 M::maxPaletteHeight);
    return {M::paletteWidth, height + (withNote ? M::paletteNoteHeight : 0)};
}

std::optional<double> notchWidth(const Screen& screen) {
    if (!screen.auxiliaryTopLeftArea || !screen.auxiliaryTopRightArea)
        return std::nullopt;
    return screen.auxiliaryTopRightArea->minX() - screen.auxiliaryTopLeftArea->maxX();
}

double notchCenterX(const Screen& screen) {
    if (!screen.auxiliaryTopLeftArea || !screen.auxiliaryTopRightArea)
        return screen.frame.midX();
    return (screen.auxiliaryTopLeftArea->maxX() + screen.auxiliaryTopRightArea->minX()) / 2;
}

Point paletteTopLeft(Size size, std::optional<Point> caretScreenPosition, const Screen& screen) {
    if (isCaretInTopThird(caretScreenPosition, screen))
        return {screen.visibleFrame.midX() - size.width / 2,
                screen.visibleFrame.minY() + size.height};
    if (screen.safeAreaTopInset > 0)
        return {notchCenterX(screen) - size.width / 2, screen.frame.maxY()};
    return {screen.visibleFrame.midX() - size.width / 2,
            screen.visibleFrame.maxY() - PaletteMetrics::topPanelGap};
}

double topPanelHeight(const Screen& screen) {
    return screen.frame.maxY() - screen.visibleFrame.maxY();
}

PalettePlacement placePalette(std::size_t suggestionCount, std::optional<Point> caretScreenPosition,
                              const Screen& screen, bool withNote) {
    PalettePlacement placement;
    placement.isNotchDocked = shouldDockToNotch(caretScreenPosition, screen);
    placement.isBottomDocked =
        !placement.isNotchDocked && isCaretInTopThird(caretScreenPosition, screen);
    placement.notchHeight = placement.isNotchDocked ? screen.safeAreaTopInset : 0;

    placement.size = panelSizeForPalette(suggestionCount, withNote);
    if (placement.isNotchDocked) {
        placement.size.height += topPanelHeight(screen);
        if (const auto width = notchWidth(screen))
            placement.size.width = *width;
    }
    // A bottom-docked panel stands on the visible area's foot: below it is a panel of the desktop
    // or the screen's edge. The card's extension hangs below the panel, clipped by it.
    placement.topLeft = paletteTopLeft(placement.size, caretScreenPosition, screen);
    placement.level =
        placement.isNotchDocked ? OverlayWindowLevel::statusBar : OverlayWindowLevel::floating;
    return placement;
}

Rect processingFrame(const Rect& panelFrame, bool isNotchDocked, bool isBottomDocked,
                     const Screen& screen) {
    double height = PaletteMetrics::processingHeight;
    if (isNotchDocked)
        height += topPanelHeight(screen);
    const double bottom = isBottomDocked ? panelFrame.minY() : panelFrame.maxY() - height;
    return {{panelFrame.minX(), bottom}, {panelFrame.size.width, height}};
}

} // namespace pennial
