#include "platform/sim/sim_screens.hpp"

namespace pennial {

std::vector<Screen> SimScreens::screens() {
    std::vector<Screen> screens;
    {
        std::lock_guard lock(state_->mutex);
        screens = state_->screens;
    }
    state_->log.record(SimCall::of(SimCallKind::screens));
    return screens;
}

std::optional<Screen> SimScreens::mainScreen() {
    std::optional<Screen> screen;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->mainScreen < state_->screens.size())
            screen = state_->screens[state_->mainScreen];
    }
    state_->log.record(SimCall::of(SimCallKind::screens, {}, "main"));
    return screen;
}

} // namespace pennial
