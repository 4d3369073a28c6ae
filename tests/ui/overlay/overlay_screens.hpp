#pragma once
// Screens for the overlay's tests, in the screens' coordinates (y grows upwards).

#include "platform/screens.hpp"

namespace pennial::testing {

// 1512 x 982 with a 32-point notch 200 points wide at its centre and a 37-point menu bar, a
// 70-point dock below the visible area.
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

} // namespace pennial::testing
