#pragma once
// The first onboarding screen: the product's promise and "Start setup", which tells the core the
// welcome has been seen. The brand header above it belongs to the window view.

#include "windows/onboarding/onboarding_screen_frame.hpp"

namespace pennial {

class BrandedBottomBar;
class OnboardingModel;
class OnboardingText;

class WelcomeScreen : public OnboardingScreenFrame {
public:
    explicit WelcomeScreen(OnboardingModel& model, QWidget* parent = nullptr);

    OnboardingText* title() const { return title_; }
    OnboardingText* subtitle() const { return subtitle_; }
    BrandedBottomBar* bottomBar() const { return bottomBar_; }

private:
    OnboardingText* title_;
    OnboardingText* subtitle_;
    BrandedBottomBar* bottomBar_;
};

} // namespace pennial
