#pragma once
// The onboarding screen that asks for the access the application works with. Accessibility is
// required and follows the core's published trust: "Grant Access" asks the core to turn the
// desktop's accessibility on, and "Continue" stays disabled until it is. Keyboard access needs no
// grant under X11, so there its row only says it is there; a Wayland session needs the input
// devices, which only the system can open to the user. One line under the rows says what stands
// in the way, or what is left to do, after a press. Where the desktop lends its keyboard only
// after a dialog of its own, a line says what that dialog is and what to choose in it.

#include "app/change_signal.hpp"
#include "windows/onboarding/onboarding_screen_frame.hpp"

#include <optional>
#include <string>

namespace pennial {

class AppCoordinator;
class BrandedBottomBar;
class OnboardingModel;
class OnboardingText;
class PermissionRow;

class PermissionsScreen : public OnboardingScreenFrame {
public:
    PermissionsScreen(AppCoordinator& coordinator, OnboardingModel& model,
                      QWidget* parent = nullptr);

    OnboardingText* title() const { return title_; }
    OnboardingText* subtitle() const { return subtitle_; }
    PermissionRow* accessibilityRow() const { return accessibilityRow_; }
    PermissionRow* keyboardRow() const { return keyboardRow_; }
    // Only where the desktop asks the user before lending its keyboard.
    OnboardingText* desktopKeyboardNote() const { return desktopKeyboardNote_; }
    // Hidden while there is nothing to say.
    OnboardingText* advice() const { return advice_; }
    BrandedBottomBar* bottomBar() const { return bottomBar_; }

private:
    void followTrust();
    void showAdvice(const std::optional<std::string>& text);

    AppCoordinator& coordinator_;
    OnboardingText* title_;
    OnboardingText* subtitle_;
    PermissionRow* accessibilityRow_;
    PermissionRow* keyboardRow_;
    OnboardingText* desktopKeyboardNote_ = nullptr;
    OnboardingText* advice_;
    BrandedBottomBar* bottomBar_;
    std::optional<std::string> shownCoreAdvice_; // the core's advice when the line was last set
    ChangeSignal::Connection coordinatorChanged_;
};

} // namespace pennial
