#pragma once
// The simulated desktop's workspace: the frontmost application, this process's windows,
// activation notifications and the addresses it was asked to open.

#include "platform/sim/sim_desktop_state.hpp"
#include "platform/workspace.hpp"

namespace pennial {

class SimWorkspace : public Workspace {
public:
    explicit SimWorkspace(std::shared_ptr<SimDesktopState> state) : state_(std::move(state)) {}

    std::optional<RunningApplication> frontmostApplication() override;
    Pid currentProcessId() override;
    std::vector<OwnWindow> ownWindows() override;
    Subscription observeApplicationActivation(Executor executor,
                                              ActivationHandler handler) override;
    bool openURL(const std::string& url) override;

    // Tells every observer, on its executor, that the application became active.
    static void notifyActivation(SimDesktopState& state, const RunningApplication& app);

private:
    std::shared_ptr<SimDesktopState> state_;
};

} // namespace pennial
