#pragma once
// One switch for every animation of the overlay: off, views jump straight to their end state (the
// tests run that way). Main thread only.

namespace pennial {

class OverlayAnimations {
public:
    static bool enabled();
    static void setEnabled(bool enabled);
};

} // namespace pennial
