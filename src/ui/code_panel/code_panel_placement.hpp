#pragma once
// Where the sign-in code panel goes: hanging from the notch of a screen that has one, else centred
// 8 points below the top panel. Screens' coordinates (origin at the bottom left of the primary
// screen, y growing upwards).

#include "platform/geometry.hpp"
#include "platform/screens.hpp"

namespace pennial {

struct CodePanelMetrics {
    static constexpr double width = 340;
    // Everything below the notch: the card's texts, field and status line.
    static constexpr double heightBelowNotch = 132;
};

// 340 wide; the notch's height plus the card's.
Size codePanelSize(const Screen& screen);
Point codePanelTopLeft(double width, const Screen& screen);

// A frame in the window system's coordinates: y grows downwards from the top of the primary
// screen, whose top edge is at primaryTop in the screens' coordinates.
Rect toWindowSystemFrame(const Rect& frame, double primaryTop);

} // namespace pennial
