#pragma once
// The sign-in stage: an e-mail step that asks for a one-time code and a code step that verifies
// it, above the bottom bar. It holds no state of its own: it shows the model, which also keeps
// the code in step with the panel at the notch, and acts through the model's callbacks.

#include "base/runtime.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_screen_frame.hpp"
#include "windows/onboarding/sign_in_flow.hpp"

#include <chrono>
#include <functional>
#include <string>

namespace pennial {

class BrandedBottomBar;
class SignInCodeStep;
class SignInEmailStep;

class SignInScreen : public OnboardingScreenFrame {
public:
    struct Services {
        Executor executor; // the main thread's: requests and the countdown run there
        std::function<void(const std::string& url)> openURL;
        std::chrono::steady_clock::duration resendTick = std::chrono::seconds(1);
    };

    SignInScreen(OnboardingModel& model, Services services, QWidget* parent = nullptr);

    // The step on show; the other is null.
    SignInEmailStep* emailStep() const { return emailStep_; }
    SignInCodeStep* codeStep() const { return codeStep_; }
    BrandedBottomBar* bottomBar() const { return bottomBar_; }
    SignInFlow& flow() { return flow_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void buildStep();
    // The address can be typed as soon as its step appears; the code field focuses itself.
    void focusAddress();

    OnboardingModel& model_;
    Services services_;
    SignInFlow flow_;
    QWidget* stepArea_;
    SignInEmailStep* emailStep_ = nullptr;
    SignInCodeStep* codeStep_ = nullptr;
    // What the step on show was built for.
    SignInStep builtStep_ = SignInStep::enterEmail;
    bool builtForReturningUser_ = false;
    BrandedBottomBar* bottomBar_;
};

} // namespace pennial
