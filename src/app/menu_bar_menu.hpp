#pragma once
// The tray item's menu as entries drawn from the coordinator's current state: the status line,
// the global actions, and when each shows. The user interface draws the entries and hands a chosen
// one back to performMenuBarAction. Main executor only.

#include <string>
#include <vector>

namespace pennial {

class AppCoordinator;

enum class MenuBarAction {
    none,
    grantAccessibility,
    settings,
    about,
    installUpdate,
    checkForUpdates,
    signOut,
    quit,
};

struct MenuBarEntry {
    enum class Kind { label, divider, item };
    Kind kind = Kind::item;
    std::string title;
    std::string symbol; // the status label's symbol name; empty for other entries
    bool enabled = true;
    MenuBarAction action = MenuBarAction::none;
    bool operator==(const MenuBarEntry&) const = default;
};

// What the menu reads of the coordinator.
struct MenuBarInputs {
    bool isMonitoring = false;
    bool hasPermissions = false;
    bool requiresOnboarding = true;
    bool updateAvailable = false;
};

MenuBarInputs menuBarInputs(AppCoordinator& coordinator);

// Top to bottom; the menu is rebuilt from them on every change of the coordinator.
std::vector<MenuBarEntry> menuBarEntries(const MenuBarInputs& inputs);

// Whether the action opens a window or a system prompt: such actions run once the menu has
// closed, on a later turn of the main executor.
bool runsAfterMenuCloses(MenuBarAction action);

// Carries out the chosen entry's action. quit is the caller's to carry out (it owns the event
// loop); here it does nothing.
void performMenuBarAction(AppCoordinator& coordinator, MenuBarAction action);

} // namespace pennial
