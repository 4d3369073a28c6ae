#pragma once
// A recording stand-in for the onboarding window: it keeps every step it was shown with its
// callbacks, and lets a test play the user (press a step's button, type a code, switch away).

#include "app/onboarding_window_controller.hpp"

#include <optional>
#include <string>
#include <vector>

namespace pennial::testing {

class FakeOnboardingWindow final : public OnboardingWindowController {
public:
    struct Shown {
        OnboardingStage stage;
        bool isReturningUser;
    };

    void show(AppCoordinator&, OnboardingStage stage, bool isReturningUser,
              OnboardingCallbacks callbacks) override {
        shown.push_back({stage, isReturningUser});
        current = std::move(callbacks);
        isOpen = true;
        if (stage == OnboardingStage::signIn) {
            atEnterCodeStep = false; // the form starts over at its e-mail step
            code.clear();
        }
        calls.push_back(std::string("show ") + onboardingStageName(stage));
    }
    void hide() override {
        ++hideCount;
        isOpen = false;
        calls.push_back("hide");
    }
    void setOnWindowDidResignKey(std::function<void()> callback) override {
        onResignKey = std::move(callback);
    }
    void setOnWindowDidBecomeKey(std::function<void()> callback) override {
        onBecomeKey = std::move(callback);
    }
    void setOnCodeChanged(CodeChangedHandler callback) override {
        onCodeChanged = std::move(callback);
    }
    void setSignInCode(const std::string& newCode) override {
        if (newCode == code)
            return;
        code = newCode;
        ++codeWrites;
    }
    bool isAtEnterCodeStep() const override { return atEnterCodeStep; }
    bool isWindowVisible() const override { return isOpen && visible; }
    std::string signInEmail() const override { return email; }
    std::string signInCode() const override { return code; }

    // The user types a code into the window's form.
    void typeCode(const std::string& typed) {
        if (typed == code)
            return;
        code = typed;
        if (onCodeChanged)
            onCodeChanged(code);
    }
    void resignKey() {
        if (onResignKey)
            onResignKey();
    }
    void becomeKey() {
        if (onBecomeKey)
            onBecomeKey();
    }

    std::optional<OnboardingStage> lastStage() const {
        if (shown.empty())
            return std::nullopt;
        return shown.back().stage;
    }

    std::vector<Shown> shown;
    std::vector<std::string> calls;
    OnboardingCallbacks current;
    int hideCount = 0;
    bool isOpen = false;

    // What the user has done in the window.
    bool visible = true;
    bool atEnterCodeStep = false;
    std::string email;
    std::string code;
    int codeWrites = 0;

    std::function<void()> onResignKey;
    std::function<void()> onBecomeKey;
    CodeChangedHandler onCodeChanged;
};

} // namespace pennial::testing
