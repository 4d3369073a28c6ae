// The settings and about cards: the settings card is made anew on every request, the about card
// is kept and shown again.

#include "app/app_coordinator.hpp"

namespace pennial {

void AppCoordinator::showSettings(int tab) {
    initialSettingsTab_ = tab;
    if (settingsWindow_) {
        settingsWindow_->hide();
        settingsWindow_.reset();
    }
    settingsWindow_ = cardWindows_->makeCardWindow(
        {"settings", Size{720, 600}, true, CardWindowContent::settings}, *this);
    settingsWindow_->setShowTitlebarLogo(true);
    settingsWindow_->show();
}

void AppCoordinator::showMainWindow() {
    if (isStarting()) {
        showMainWindowAfterStartup_ = true;
        return;
    }
    presentMainWindow();
}

void AppCoordinator::presentMainWindow() {
    if (requiresOnboarding())
        refreshOnboardingPresentation(); // shows the current step, brought forward
    else
        showSettings(0);
}

void AppCoordinator::showAbout() {
    if (!aboutWindow_)
        aboutWindow_ = cardWindows_->makeCardWindow(
            {"about", Size{324, 284}, false, CardWindowContent::about}, *this);
    aboutWindow_->show();
}

} // namespace pennial
