#include "ui/overlay/overlay_animations.hpp"

namespace pennial {

namespace {
bool animationsEnabled = true;
} // namespace

bool OverlayAnimations::enabled() {
    return animationsEnabled;
}
void OverlayAnimations::setEnabled(bool enabled) {
    animationsEnabled = enabled;
}

} // namespace pennial
