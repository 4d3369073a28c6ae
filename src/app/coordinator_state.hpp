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
    // While signed out because the keyring could not be read at start-up: in one line, what is
    // wrong and what to do, for the sign-in screen.
    std::optional<std::string> signInNotice;
    bool operator==(const CoordinatorState&) const = default;
};

} // namespace pennial
