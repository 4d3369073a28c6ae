#include "ui/design/pn_animations.hpp"

#include <atomic>

namespace pennial {

namespace {

std::atomic<bool> animationsEnabled{true};

} // namespace

bool PNAnimations::enabled() {
    return animationsEnabled.load(std::memory_order_relaxed);
}

void PNAnimations::setEnabled(bool enabled) {
    animationsEnabled.store(enabled, std::memory_order_relaxed);
}

std::chrono::milliseconds PNAnimations::duration(std::chrono::milliseconds duration) {
    return enabled() ? duration : std::chrono::milliseconds{0};
}

} // namespace pennial
