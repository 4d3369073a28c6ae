#include "app/menu_bar_menu.hpp"

#include "app/app_coordinator.hpp"

namespace pennial {

namespace {

MenuBarEntry divider() {
    return {MenuBarEntry::Kind::divider, "", "", true, MenuBarAction::none};
}

MenuBarEntry item(std::string title, MenuBarAction action, bool enabled = true) {
    return {MenuBarEntry::Kind::item, std::move(title), "", enabled, action};
}

} // namespace

MenuBarInputs menuBarInputs(AppCoordinator& coordinator) {
    return {coordinator.isMonitoring(), coordinator.hasPermissions(),
            coordinator.requiresOnboarding(), coordinator.updateService().updateAvailable()};
}

std::vector<MenuBarEntry> menuBarEntries(const MenuBarInputs& inputs) {
    std::vector<MenuBarEntry> entries;
    if (inputs.isMonitoring)
        entries.push_back({MenuBarEntry::Kind::label, "Pennial: Active", "checkmark.circle.fill",
                           true, MenuBarAction::none});
    else
        entries.push_back(
            {MenuBarEntry::Kind::label, "Pennial: Inactive", "circle", true, MenuBarAction::none});
    entries.push_back(divider());
    if (!inputs.hasPermissions) {
        entries.push_back(item("Grant Accessibility Access", MenuBarAction::grantAccessibility));
        entries.push_back(divider());
    }
    entries.push_back(item("Settings", MenuBarAction::settings, !inputs.requiresOnboarding));
    entries.push_back(item("About Pennial", MenuBarAction::about));
    if (inputs.updateAvailable)
        entries.push_back(
            item("\u2B06 Update Available \u2014 Install Now", MenuBarAction::installUpdate));
    entries.push_back(item("Check for Updates...", MenuBarAction::checkForUpdates));
    if (!inputs.requiresOnboarding) {
        entries.push_back(divider());
        entries.push_back(item("Sign Out", MenuBarAction::signOut));
    }
    entries.push_back(divider());
    entries.push_back(item("Quit Pennial", MenuBarAction::quit));
    return entries;
}

bool runsAfterMenuCloses(MenuBarAction action) {
    return action == MenuBarAction::grantAccessibility || action == MenuBarAction::settings ||
           action == MenuBarAction::about;
}

void performMenuBarAction(AppCoordinator& coordinator, MenuBarAction action) {
    switch (action) {
    case MenuBarAction::grantAccessibility:
        coordinator.launch(&AppCoordinator::requestPermissions);
        break;
    case MenuBarAction::settings:
        // The entry is drawn disabled until onboarding is through; a stale menu changes nothing.
        if (!coordinator.requiresOnboarding())
            coordinator.showSettings(0);
        break;
    case MenuBarAction::about:
        coordinator.showAbout();
        break;
    case MenuBarAction::installUpdate:
    case MenuBarAction::checkForUpdates:
        coordinator.updateService().checkForUpdates();
        break;
    case MenuBarAction::signOut:
        coordinator.launch(&AppCoordinator::signOut);
        break;
    case MenuBarAction::quit:
    case MenuBarAction::none:
        break;
    }
}

} // namespace pennial
