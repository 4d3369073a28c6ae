#include "platform/sim/sim_screens.hpp"

namespace pennial::sim {

std::vector<platform::Screen> SimScreens::screens() {
    std::vector<platform::Screen> screens;
    {
        std::lock_guard lock(state_->mutex);
        screens = state_->screens;
    }
    state_->log.record(SimCall::of(SimCallKind::screens));
    return screens;
}

std::optional<platform::Screen> SimScreens::mainScreen() {
    std::optional<platform::Screen> screen;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->mainScreen < state_->screens.size())
            screen = state_->screens[state_->mainScreen];
    }
    state_->log.record(SimCall::of(SimCallKind::screens, {}, "main"));
    return screen;
}

} // namespace pennial::sim
