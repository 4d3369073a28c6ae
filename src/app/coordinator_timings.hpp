#pragma once
// The coordinator's waits, each with its one home. Tests shorten them; the application uses these.

#include <chrono>

namespace pennial {

struct CoordinatorTimings {
    // Between two trust checks while accessibility access is missing.
    std::chrono::steady_clock::duration permissionPollInterval = std::chrono::seconds(2);
    // After the system's trust prompt, before trust is checked again.
    std::chrono::steady_clock::duration permissionRequestSettle = std::chrono::seconds(1);
    // The design preview's palette, before it turns into the processing card.
    std::chrono::steady_clock::duration designPreviewDelay = std::chrono::milliseconds(600);
    // After the onboarding window loses focus, before the code panel may take over.
    std::chrono::steady_clock::duration notchPanelDelay = std::chrono::milliseconds(150);
};

} // namespace pennial
