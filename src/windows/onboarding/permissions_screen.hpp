#pragma once
// The onboarding screen that asks for the access the application works with. Accessibility is
// required and follows the core's published trust: "Grant Access" asks the core to turn the
// desktop's accessibility on, and "Continue" stays disabled until it is. Keyboard listening needs
// no grant under X11, so its row only says it is there.

#include "app/change_signal.hpp"
#include "windows/onboarding/onboarding_screen_frame.hpp"

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
    PermissionRow* inputMonitoringRow() const { return inputMonitoringRow_; }
    BrandedBottomBar* bottomBar() const { return bottomBar_; }

private:
    void followTrust();

    AppCoordinator& coordinator_;
    OnboardingText* title_;
    OnboardingText* subtitle_;
    PermissionRow* accessibilityRow_;
    PermissionRow* inputMonitoringRow_;
    BrandedBottomBar* bottomBar_;
    ChangeSignal::Connection coordinatorChanged_;
};

} // namespace pennial
