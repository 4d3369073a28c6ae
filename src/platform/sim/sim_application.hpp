#pragma once
// A simulated application: its identity, its application element and its windows.

#include "platform/sim/sim_element.hpp"
#include "platform/workspace.hpp"

#include <mutex>
#include <vector>

namespace pennial {

class SimApplication {
public:
    explicit SimApplication(RunningApplication info);

    const RunningApplication& info() const { return info_; }
    Pid pid() const { return info_.processIdentifier; }
    // The application element; its children are the windows.
    const SimElementPtr& element() const { return element_; }

    SimElementPtr addWindow(std::string title);
    std::vector<SimElementPtr> windows() const;
    // The window that has focus; the first one until another is focused. None without windows.
    SimElementPtr focusedWindow() const;
    void focusWindow(const SimElementPtr& window);

private:
    RunningApplication info_;
    SimElementPtr element_;
    mutable std::mutex mutex_;
    std::weak_ptr<SimElement> focusedWindow_;
};

} // namespace pennial
