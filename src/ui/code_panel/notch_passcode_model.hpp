#pragma once
// Everything the sign-in code panel draws, and the callbacks through which it reaches the core.
// Written by the panel controller and the view, observed by the view. Main thread only.

#include "app/change_signal.hpp"
#include "app/sign_in_result.hpp"

#include <functional>
#include <optional>
#include <string>

namespace pennial {

class NotchPasscodeModel {
public:
    // The code as typed, bound to the six-digit field.
    const std::string& code() const { return code_; }
    // The address the code was sent to; handed to onVerify.
    const std::string& email() const { return email_; }
    // A verification is running: the field is disabled and the progress line shows.
    bool isVerifying() const { return isVerifying_; }
    // The message of the last failed verification.
    const std::optional<std::string>& error() const { return error_; }
    // The card is slid into view.
    bool isRevealed() const { return isRevealed_; }
    // The whole panel's height: the notch's and the card's.
    double panelHeight() const { return panelHeight_; }
    // The screen's notch height; 0 without one.
    double notchHeight() const { return notchHeight_; }

    // A write that changes a value announces itself once the value is in place; an equal value
    // is not a change.
    void setCode(std::string code);
    void setEmail(std::string email);
    void setVerifying(bool verifying);
    void setError(std::optional<std::string> error);
    void setRevealed(bool revealed);
    void setPanelHeight(double height);
    void setNotchHeight(double height);

    ChangeSignal& changed() { return changed_; }

    // Checks a code; its result is applied back on the main thread.
    VerifyCodeHandler onVerify;
    // After a successful verification.
    std::function<void()> onSignInComplete;
    // Every change of code while the panel's view exists.
    CodeChangedHandler onCodeChanged;

private:
    template <class T> void assign(T& field, T value);

    std::string code_;
    std::string email_;
    bool isVerifying_ = false;
    std::optional<std::string> error_;
    bool isRevealed_ = false;
    double panelHeight_ = 0;
    double notchHeight_ = 0;
    ChangeSignal changed_;
};

} // namespace pennial
