#pragma once
// The onboarding screen that explains the product in three numbered steps; "Next" tells the core
// the introduction has been seen.

#include "windows/onboarding/onboarding_screen_frame.hpp"

#include <vector>

namespace pennial {

class BrandedBottomBar;
class OnboardingModel;
class OnboardingText;

class HowItWorksScreen : public OnboardingScreenFrame {
public:
    explicit HowItWorksScreen(OnboardingModel& model, QWidget* parent = nullptr);

    struct Step {
        QWidget* numberTile;
        OnboardingText* title;
        OnboardingText* description;
    };

    OnboardingText* title() const { return title_; }
    OnboardingText* subtitle() const { return subtitle_; }
    const std::vector<Step>& steps() const { return steps_; }
    BrandedBottomBar* bottomBar() const { return bottomBar_; }

private:
    QWidget* howItWorksRow(const QString& number, const QString& title, const QString& description,
                           QWidget* parent);

    OnboardingText* title_;
    OnboardingText* subtitle_;
    std::vector<Step> steps_;
    BrandedBottomBar* bottomBar_;
};

} // namespace pennial
