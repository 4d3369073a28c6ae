#pragma once
// The onboarding window the core drives: one model for the whole run, shown in the "onboarding"
// card window, which is built on the first show, then resized and brought forward by later ones.
// Main thread only.

#include "app/onboarding_window_controller.hpp"
#include "windows/onboarding/onboarding_card.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_playground_model.hpp"

#include <memory>

namespace pennial {

class QtOnboardingWindowController final : public OnboardingWindowController {
public:
    static constexpr QSize defaultSize{520, 440};

    explicit QtOnboardingWindowController(OnboardingCardFactory makeCard);

    void show(AppCoordinator& coordinator, OnboardingStage stage, bool isReturningUser,
              OnboardingCallbacks callbacks) override;
    void hide() override;

    void setOnWindowDidResignKey(std::function<void()> callback) override;
    void setOnWindowDidBecomeKey(std::function<void()> callback) override;
    void setOnCodeChanged(CodeChangedHandler callback) override;
    void setSignInCode(const std::string& code) override;

    bool isAtEnterCodeStep() const override;
    bool isWindowVisible() const override;
    std::string signInEmail() const override;
    std::string signInCode() const override;

    // What the window's screens read and write.
    OnboardingModel& model() { return model_; }
    OnboardingPlaygroundModel& playgroundModel() { return playgroundModel_; }

private:
    OnboardingCardFactory makeCard_;
    std::unique_ptr<OnboardingCard> windowController_;
    OnboardingModel model_;
    OnboardingPlaygroundModel playgroundModel_;
    std::function<void()> onWindowDidResignKey_;
    std::function<void()> onWindowDidBecomeKey_;
};

} // namespace pennial
