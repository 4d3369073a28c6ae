#pragma once
// The screens: frames in the window system's global coordinates (origin at the bottom left of the
// primary screen, y growing upwards), the area left free by panels and docks, and the notch.

#include "platform/geometry.hpp"

#include <optional>
#include <vector>

namespace pennial {

struct Screen {
    Rect frame;
    Rect visibleFrame;
    double safeAreaTopInset = 0; // the notch's height; 0 on screens without one
    // The free strips left and right of the camera housing; absent without a notch.
    std::optional<Rect> auxiliaryTopLeftArea;
    std::optional<Rect> auxiliaryTopRightArea;
    bool operator==(const Screen&) const = default;
};

class Screens {
public:
    virtual ~Screens() = default;
    // The primary screen first.
    virtual std::vector<Screen> screens() = 0;
    // The screen holding the window that has keyboard focus; none without screens.
    virtual std::optional<Screen> mainScreen() = 0;
    // A point as the accessibility layer reports it (the window system's device pixels, origin at
    // the primary screen's top left, y downwards) in the screens' own scale, same orientation.
    // Unscaled screens keep it as it is.
    virtual Point fromDevicePixels(Point point) { return point; }
};

} // namespace pennial
