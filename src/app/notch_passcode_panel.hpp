#pragma once
// The sign-in code panel hanging from the notch: the second place, beside the onboarding window,
// where the six-digit code can be typed. Main executor only.

#include "app/sign_in_result.hpp"
#include "platform/screens.hpp"

#include <functional>
#include <optional>
#include <string>

namespace pennial {

class NotchPasscodePanel {
public:
    virtual ~NotchPasscodePanel() = default;

    // Shows the panel for email on screen (none: the first screen). Six typed digits go to
    // onVerify; a failure's message is shown in the panel, a success calls onSignInComplete.
    virtual void show(std::string email, VerifyCodeHandler onVerify,
                      std::function<void()> onSignInComplete, std::optional<Screen> screen) = 0;
    // Harmless when the panel is not shown.
    virtual void hide() = 0;
    // Replaces the code shown unless it is the same.
    virtual void setCode(const std::string& code) = 0;
    // The panel model's callback for every change of the typed code; empty to clear.
    virtual void setOnCodeChanged(CodeChangedHandler callback) = 0;
};

} // namespace pennial
