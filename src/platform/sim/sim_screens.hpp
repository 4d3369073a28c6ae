#pragma once
// The simulated desktop's screens, as the test sets them.

#include "platform/screens.hpp"
#include "platform/sim/sim_desktop_state.hpp"

namespace pennial {

class SimScreens : public Screens {
public:
    explicit SimScreens(std::shared_ptr<SimDesktopState> state) : state_(std::move(state)) {}

    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;

private:
    std::shared_ptr<SimDesktopState> state_;
};

} // namespace pennial
