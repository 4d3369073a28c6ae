#pragma once
// The one model every onboarding screen reads and writes: the stage on screen, the texts typed so
// far and the callbacks of the step the core has shown. It outlives every window, so what the
// user typed survives a change of stage or a new window. Main thread only.

#include "app/onboarding_stage.hpp"
#include "app/onboarding_window_controller.hpp"
#include "app/sign_in_result.hpp"
#include "base/task.hpp"

#include <QObject>
#include <functional>
#include <optional>
#include <string>

namespace pennial {

enum class SignInStep { enterEmail, enterCode };

class OnboardingModel : public QObject {
    Q_OBJECT

public:
    OnboardingModel();

    // Published: each setter announces a change through its signal, and only a real change.
    OnboardingStage stage() const { return stage_; }
    void setStage(OnboardingStage stage);
    const std::string& displayNames() const { return displayNames_; }
    void setDisplayNames(std::string displayNames);
    const std::string& writingContext() const { return writingContext_; }
    void setWritingContext(std::string writingContext);
    const std::string& signInEmail() const { return signInEmail_; }
    void setSignInEmail(std::string email);
    const std::string& signInCode() const { return signInCode_; }
    void setSignInCode(std::string code);
    SignInStep signInStep() const { return signInStep_; }
    void setSignInStep(SignInStep step);
    const std::optional<std::string>& signInError() const { return signInError_; }
    void setSignInError(std::optional<std::string> error);
    bool isSignInLoading() const { return isSignInLoading_; }
    void setSignInLoading(bool loading);
    int resendCooldown() const { return resendCooldown_; }
    void setResendCooldown(int seconds);
    // A code was verified: the step takes no further input until it is shown anew.
    bool isSignInVerified() const { return isSignInVerified_; }
    void setSignInVerified(bool verified);

    // Plain members, read when they are used (a button reads its callback at the press).
    bool isReturningUser = false;
    // Whether the desktop shows a system tray, where the program can be found once the window
    // is gone; asked when the last screen is built.
    std::function<bool()> hasSystemTray;
    // Whether other applications' keys reach the program; none: they always do (X11). Asked
    // when the permissions screen is built.
    std::function<bool()> hasKeyboardAccess;
    // Whether the desktop lends its keyboard through its remote desktop permission, which it asks
    // the user for when monitoring starts: the permissions screen says what that dialog is.
    bool asksDesktopForKeyboard = false;
    // Called with the whole code on every change of signInCode while the window's view is up.
    CodeChangedHandler onCodeChanged;
    // The current step's callbacks; an empty one does nothing, an empty sign-in one answers
    // success. Call them through the helpers below.
    OnboardingCallbacks callbacks;
    // The running resend countdown: a new one replaces it, so the seconds never fall twice as
    // fast. It writes into the model, so it lives as long as the model's own state.
    Task resendCountdown;

    void requestPermissions() const { call(callbacks.onRequestPermissions); }
    void completeWelcome() const { call(callbacks.onCompleteWelcome); }
    void completePermissions() const { call(callbacks.onCompletePermissions); }
    void completeVideoIntro() const { call(callbacks.onCompleteVideoIntro); }
    void saveProfile(const std::string& displayNames, const std::string& writingContext) const;
    void skipProfile() const { call(callbacks.onSkipProfile); }
    void completePlayground() const { call(callbacks.onCompletePlayground); }
    Awaitable<SignInResult> requestOTP(std::string email) const;
    Awaitable<SignInResult> verifyOTP(std::string email, std::string code) const;
    void signInComplete() const { call(callbacks.onSignInComplete); }

Q_SIGNALS:
    void stageChanged();
    void profileChanged(); // displayNames or writingContext
    void signInChanged();  // any of the sign-in form's fields
    void signInCodeChanged(const std::string& code);

private:
    static void call(const std::function<void()>& callback) {
        // Copied first: the callback may replace the model's callbacks while it runs.
        if (auto copy = callback)
            copy();
    }

    OnboardingStage stage_ = OnboardingStage::permissions;
    std::string displayNames_;
    std::string writingContext_;
    std::string signInEmail_;
    std::string signInCode_;
    SignInStep signInStep_ = SignInStep::enterEmail;
    std::optional<std::string> signInError_;
    bool isSignInLoading_ = false;
    bool isSignInVerified_ = false;
    int resendCooldown_ = 0;
};

} // namespace pennial
