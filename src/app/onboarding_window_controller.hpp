#pragma once
// The onboarding window as the core drives it: it draws the step it is given and reports the
// user's actions through the callbacks handed over with that step. Main executor only.

#include "app/onboarding_stage.hpp"
#include "app/sign_in_result.hpp"

#include <functional>
#include <string>

namespace pennial {

class AppCoordinator;

// The callbacks of one step. An empty callback does nothing; an empty sign-in callback answers
// success at once.
struct OnboardingCallbacks {
    std::function<void()> onRequestPermissions;
    std::function<void()> onCompleteWelcome;
    std::function<void()> onCompletePermissions;
    std::function<void()> onCompleteVideoIntro;
    std::function<void(std::string displayNames, std::string writingContext)> onSaveProfile;
    std::function<void()> onSkipProfile;
    std::function<void()> onCompletePlayground;
    RequestCodeHandler onRequestOTP;
    VerifyCodeHandler onVerifyOTP;
    std::function<void()> onSignInComplete;
};

class OnboardingWindowController {
public:
    virtual ~OnboardingWindowController() = default;

    // Stores the step and its callbacks (replacing earlier ones), resets the sign-in form to its
    // e-mail step when the stage is signIn, and shows the window (built on first use), bringing
    // it forward. The coordinator is handed on to the screens that read it.
    virtual void show(AppCoordinator& coordinator, OnboardingStage stage, bool isReturningUser,
                      OnboardingCallbacks callbacks) = 0;
    // Hides and forgets the window; harmless when there is none.
    virtual void hide() = 0;

    // Called when the window loses or gains keyboard focus; empty to clear.
    virtual void setOnWindowDidResignKey(std::function<void()> callback) = 0;
    virtual void setOnWindowDidBecomeKey(std::function<void()> callback) = 0;
    // Called whenever the code typed in the sign-in form changes; empty to clear.
    virtual void setOnCodeChanged(CodeChangedHandler callback) = 0;
    // Writes the code into the sign-in form unless it is the one already there.
    virtual void setSignInCode(const std::string& code) = 0;

    // The stage is signIn and the form waits for the code.
    virtual bool isAtEnterCodeStep() const = 0;
    // The window exists and is at least partly visible on screen.
    virtual bool isWindowVisible() const = 0;
    virtual std::string signInEmail() const = 0;
    // The code typed so far in the sign-in form.
    virtual std::string signInCode() const = 0;
};

} // namespace pennial
