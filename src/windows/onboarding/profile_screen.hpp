#pragma once
// The onboarding screen that asks for the two profile texts sent with every transform: the names
// the user goes by and notes on their writing. It edits them in the model and hands them to the
// core on "Next" (save) or "I'll do this later" (skip). As it comes into view it fills the fields
// still empty from the stored configuration.

#include "windows/onboarding/onboarding_screen_frame.hpp"

namespace pennial {

class AppCoordinator;
class BrandedBottomBar;
class OnboardingModel;
class OnboardingText;
class PNFormField;
class PNTextArea;

class ProfileScreen : public OnboardingScreenFrame {
public:
    ProfileScreen(AppCoordinator& coordinator, OnboardingModel& model, QWidget* parent = nullptr);

    OnboardingText* title() const { return title_; }
    OnboardingText* subtitle() const { return subtitle_; }
    PNFormField* displayNamesField() const { return displayNames_; }
    PNTextArea* writingContextArea() const { return writingContext_; }
    BrandedBottomBar* bottomBar() const { return bottomBar_; }

private:
    void showModel();

    OnboardingModel& model_;
    OnboardingText* title_;
    OnboardingText* subtitle_;
    PNFormField* displayNames_;
    PNTextArea* writingContext_;
    BrandedBottomBar* bottomBar_;
};

} // namespace pennial
