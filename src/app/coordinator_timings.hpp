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

    // After a written or cancelled transform, before another trigger is taken.
    std::chrono::steady_clock::duration transformCooldown = std::chrono::milliseconds(1500);
    // Between two reads of the field while its transform runs: an edit seen there cancels it.
    std::chrono::steady_clock::duration textChangePollInterval = std::chrono::milliseconds(50);
    // Keyboard pastes: from the text put on the clipboard to Control+V (targeted paste), from
    // Control+A to Control+V (select-all paste), and from Control+V to the clipboard put back.
    std::chrono::steady_clock::duration targetedPasteDelay = std::chrono::milliseconds(50);
    std::chrono::steady_clock::duration selectAllDelay = std::chrono::milliseconds(100);
    std::chrono::steady_clock::duration clipboardRestoreDelay = std::chrono::milliseconds(1500);
    // How often a keyring that was locked (or silent) at start-up is asked for the session again.
    std::chrono::steady_clock::duration keyringRetryInterval = std::chrono::seconds(5);
    // How often a palette whose keys cannot be seen looks at the field's focus and caret; it
    // closes once two looks in a row find the user gone on.
    std::chrono::steady_clock::duration paletteFieldWatchInterval = std::chrono::milliseconds(150);
};

} // namespace pennial
