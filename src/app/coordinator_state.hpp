#pragma once
// What the coordinator publishes for the menu and the windows: one value, announced on change.

#include <optional>
#include <string>

namespace pennial {

struct CoordinatorState {
    bool isMonitoring = false;
    bool hasPermissions = false; // accessibility trust as last checked
    bool isAuthenticated = false;
    std::string statusMessage = "Ready";
    std::optional<std::string> lastError;
    // After a request for accessibility: in one line, what stands in the way or what is left to
    // do, for the screen that asked.
    std::optional<std::string> permissionAdvice;
    bool operator==(const CoordinatorState&) const = default;
};

} // namespace pennial
