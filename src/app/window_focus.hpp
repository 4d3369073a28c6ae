#pragma once
// The application's focus rules around its own windows, as far as the core needs them.

namespace pennial {

class WindowFocus {
public:
    virtual ~WindowFocus() = default;

    // Called when onboarding ends: goes back to a tray-only presence when none of the
    // application's windows ("settings", "about", "onboarding") is open.
    virtual void restoreAccessoryIfNoUserWindows() = 0;
};

} // namespace pennial
