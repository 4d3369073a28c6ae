#pragma once
// A recording stand-in for the code panel at the notch; a test can type a code into it and run
// its verification as the panel would once six digits are in.

#include "app/notch_passcode_panel.hpp"

#include <string>
#include <vector>

namespace pennial::testing {

class FakeNotchPasscodePanel final : public NotchPasscodePanel {
public:
    void show(std::string shownEmail, VerifyCodeHandler verify, std::function<void()> complete,
              std::optional<Screen> shownOn) override {
        email = std::move(shownEmail);
        onVerify = std::move(verify);
        onSignInComplete = std::move(complete);
        screen = std::move(shownOn);
        visible = true;
        ++showCount;
    }
    // As the real panel's tear-down, the hide forgets the code typed.
    void hide() override {
        visible = false;
        code.clear();
        ++hideCount;
    }
    void setCode(const std::string& newCode) override {
        if (newCode == code)
            return;
        code = newCode;
        ++codeWrites;
    }
    void setOnCodeChanged(CodeChangedHandler callback) override {
        onCodeChanged = std::move(callback);
    }

    // The user types into the panel.
    void typeCode(const std::string& typed) {
        if (typed == code)
            return;
        code = typed;
        if (onCodeChanged)
            onCodeChanged(code);
    }

    std::string email;
    std::string code;
    std::optional<Screen> screen;
    VerifyCodeHandler onVerify;
    std::function<void()> onSignInComplete;
    CodeChangedHandler onCodeChanged;
    bool visible = false;
    int showCount = 0;
    int hideCount = 0;
    int codeWrites = 0;
};

} // namespace pennial::testing
