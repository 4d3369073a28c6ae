#pragma once
// Screens for the overlay's tests, in the screens' coordinates (y grows upwards).

#include "platform/screens.hpp"

#include <string>
#include <vector>

namespace pennial::testing {

// 1512 x 982 with a 32-point notch 200 points wide at its centre and a 37-point top panel, a
// 70-point bottom panel below the visible area.
inline Screen notchedScreen() {
    Screen screen;
    screen.frame = {{0, 0}, {1512, 982}};
    screen.visibleFrame = {{0, 70}, {1512, 982 - 37 - 70}};
    screen.safeAreaTopInset = 32;
    screen.auxiliaryTopLeftArea = Rect{{0, 950}, {656, 32}};
    screen.auxiliaryTopRightArea = Rect{{856, 950}, {656, 32}};
    return screen;
}

// 1920 x 1080 without a notch, with a 27-point top bar.
inline Screen plainScreen() {
    Screen screen;
    screen.frame = {{0, 0}, {1920, 1080}};
    screen.visibleFrame = {{0, 0}, {1920, 1053}};
    return screen;
}

// A laptop's or a netbook's screen as the desktop reports it at a scale: the frame in logical
// points, a panel strip of its own height along the top or the bottom edge.
struct SmallScreen {
    std::string name;
    Screen screen;
    double scale = 1;
};

// Logical coordinates are device pixels divided by the scale; panels keep their logical height.
inline Screen smallScreen(double pixelWidth, double pixelHeight, double scale, bool panelAtTop,
                          Point origin = {}) {
    constexpr double panel = 32;
    Screen screen;
    screen.frame = {origin, {pixelWidth / scale, pixelHeight / scale}};
    screen.visibleFrame = {{origin.x, origin.y + (panelAtTop ? 0 : panel)},
                           {screen.frame.size.width, screen.frame.size.height - panel}};
    return screen;
}

// 1280 x 800 and 1024 x 600 at scales 1, 1.5 and 2, the panel at the top or the bottom, each as
// the primary screen and as a second one right of a full-HD primary, aligned at the top.
inline std::vector<SmallScreen> smallScreens() {
    std::vector<SmallScreen> all;
    for (const auto [width, height] : {std::pair{1280.0, 800.0}, std::pair{1024.0, 600.0}})
        for (const double scale : {1.0, 1.5, 2.0})
            for (const bool panelAtTop : {true, false})
                for (const bool secondary : {false, true}) {
                    const Point origin =
                        secondary ? Point{1920, 1080 - height / scale} : Point{0, 0};
                    all.push_back({std::to_string(static_cast<int>(width)) + "x" +
                                       std::to_string(static_cast<int>(height)) + "@" +
                                       std::to_string(scale) + (panelAtTop ? " top" : " bottom") +
                                       " panel" + (secondary ? ", second screen" : ""),
                                   smallScreen(width, height, scale, panelAtTop, origin), scale});
                }
    return all;
}

// Whether a frame lies inside an area, to a hundredth of a point.
inline bool liesInside(const Rect& frame, const Rect& area) {
    constexpr double slack = 0.01;
    return frame.minX() >= area.minX() - slack && frame.maxX() <= area.maxX() + slack &&
           frame.minY() >= area.minY() - slack && frame.maxY() <= area.maxY() + slack;
}

} // namespace pennial::testing
