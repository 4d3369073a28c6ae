#pragma once
// The focus rules around the application's own windows: bring one forward with keyboard focus,
// make sure the application may show a window, and note when the last of them is gone.
//
// X11 has no activation policy: the application only ever lives in the tray or shows windows of
// its own. The policy is kept here so that the rule "never become a regular application; lift a
// prohibited policy to accessory before showing a window" holds and is logged as it is decided;
// activating the application means raising and activating our window. GUI thread only.

#include "app/window_focus.hpp"

#include <memory>

class QWidget;

namespace pennial {

class OwnWindowRegistry;

enum class ActivationPolicy {
    regular,
    accessory,
    prohibited,
};

class QtWindowFocus final : public WindowFocus {
public:
    // A tray application starts as an accessory one.
    explicit QtWindowFocus(std::shared_ptr<OwnWindowRegistry> ownWindows,
                           ActivationPolicy policy = ActivationPolicy::accessory);

    // Brings the window to the front with keyboard focus, restoring it when minimised.
    void focus(QWidget& window);
    // Lifts a prohibited policy to accessory; never switches to regular.
    void showAppForUserInteraction();
    // Logs when none of "settings", "about", "onboarding" is left; changes nothing.
    void restoreAccessoryIfNoUserWindows() override;

    ActivationPolicy activationPolicy() const { return policy_; }
    void setActivationPolicy(ActivationPolicy policy) { policy_ = policy; }

private:
    std::shared_ptr<OwnWindowRegistry> ownWindows_;
    ActivationPolicy policy_;
};

} // namespace pennial
