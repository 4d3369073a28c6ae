#pragma once
// One switch for every animation of the user interface: tests turn it off so that transitions
// land at once and what they check is the end state.

#include <chrono>

namespace pennial {

struct PNAnimations {
    PNAnimations() = delete;

    static bool enabled();
    static void setEnabled(bool enabled);

    // `duration` while animations are on, zero while they are off.
    static std::chrono::milliseconds duration(std::chrono::milliseconds duration);
};

} // namespace pennial
