#include "ui/code_panel/code_panel_placement.hpp"

#include "ui/overlay/overlay_placement.hpp"

namespace pennial {

Size codePanelSize(const Screen& screen) {
    return {CodePanelMetrics::width, screen.safeAreaTopInset + CodePanelMetrics::heightBelowNotch};
}

Point codePanelTopLeft(double width, const Screen& screen) {
    if (screen.safeAreaTopInset > 0)
        return {notchCenterX(screen) - width / 2, screen.frame.maxY()};
    return {screen.visibleFrame.midX() - width / 2,
            screen.visibleFrame.maxY() - PaletteMetrics::topPanelGap};
}

Rect toWindowSystemFrame(const Rect& frame, double primaryTop) {
    return {{frame.minX(), primaryTop - frame.maxY()}, frame.size};
}

} // namespace pennial
