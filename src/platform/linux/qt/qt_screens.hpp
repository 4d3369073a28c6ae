#pragma once
// The screens as Qt knows them, in the coordinates the screens interface uses: y grows upwards from
// the bottom edge of the primary screen, x is the window system's. Accessibility points (the X
// root window's, y downwards) turn into them by y' = primary height - y. Linux screens have no
// notch. GUI thread only, after the application object exists.

#include "platform/screens.hpp"

namespace pennial {

class QtScreens : public Screens {
public:
    std::vector<Screen> screens() override;
    // The screen of our focused window; else the one under the pointer, which is where the user
    // works in another application; else the primary one.
    std::optional<Screen> mainScreen() override;
    // Each screen keeps its top-left corner and shrinks by its own device pixel ratio.
    Point fromDevicePixels(Point point) override;
};

} // namespace pennial
