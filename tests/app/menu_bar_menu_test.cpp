// The tray item's menu: which entries show in which state, and what choosing them does to the
// coordinator.

#include "app/menu_bar_menu.hpp"
#include "coordinator_fixture.hpp"

using namespace pennial;
using namespace pennial::testing;
using EntryKind = MenuBarEntry::Kind;

namespace {

std::vector<std::string> titles(const std::vector<MenuBarEntry>& entries) {
    std::vector<std::string> found;
    for (const auto& entry : entries)
        found.push_back(entry.kind == EntryKind::divider ? "—" : entry.title);
    return found;
}

const MenuBarEntry& entryTitled(const std::vector<MenuBarEntry>& entries,
                                const std::string& title) {
    for (const auto& entry : entries)
        if (entry.title == title)
            return entry;
    throw std::runtime_error("no entry " + title);
}

} // namespace

TEST(MenuBarMenu, FirstLaunchOffersTheGrantAndNoSignOut) {
    auto entries = menuBarEntries({.isMonitoring = false,
                                   .hasPermissions = false,
                                   .requiresOnboarding = true,
                                   .updateAvailable = false});
    EXPECT_EQ(titles(entries),
              (std::vector<std::string>{"Pennial: Inactive", "—", "Grant Accessibility Access", "—",
                                        "Settings", "About Pennial", "Check for Updates...", "—",
                                        "Quit Pennial"}));
    EXPECT_EQ(entries[0].kind, EntryKind::label);
    EXPECT_EQ(entries[0].symbol, "circle");
    EXPECT_FALSE(entryTitled(entries, "Settings").enabled);
    EXPECT_TRUE(entryTitled(entries, "Check for Updates...").enabled);
}

TEST(MenuBarMenu, SignedInAndMonitoringWithAnUpdateFound) {
    auto entries = menuBarEntries({.isMonitoring = true,
                                   .hasPermissions = true,
                                   .requiresOnboarding = false,
                                   .updateAvailable = true});
    EXPECT_EQ(titles(entries),
              (std::vector<std::string>{"Pennial: Active", "—", "Settings", "About Pennial",
                                        "⬆ Update Available — Install Now", "Check for Updates...",
                                        "—", "Sign Out", "—", "Quit Pennial"}));
    EXPECT_EQ(entries[0].symbol, "checkmark.circle.fill");
    EXPECT_TRUE(entryTitled(entries, "Settings").enabled);
    EXPECT_EQ(entryTitled(entries, "⬆ Update Available — Install Now").action,
              MenuBarAction::installUpdate);
}

TEST(MenuBarMenu, WindowsAndPromptsWaitForTheMenuToClose) {
    for (auto action :
         {MenuBarAction::grantAccessibility, MenuBarAction::settings, MenuBarAction::about})
        EXPECT_TRUE(runsAfterMenuCloses(action));
    for (auto action : {MenuBarAction::installUpdate, MenuBarAction::checkForUpdates,
                        MenuBarAction::signOut, MenuBarAction::quit})
        EXPECT_FALSE(runsAfterMenuCloses(action));
}

class MenuBarActions : public CoordinatorFixture {};

TEST_F(MenuBarActions, ReachTheCoordinator) {
    storeSession();
    completeAllSteps();
    desktop.setTrusted(true);
    launch();
    ASSERT_FALSE(coordinator->requiresOnboarding());
    EXPECT_EQ(menuBarInputs(*coordinator).isMonitoring, coordinator->isMonitoring());

    performMenuBarAction(*coordinator, MenuBarAction::settings);
    ASSERT_EQ(cards->withId("settings").size(), 1u);
    EXPECT_EQ(coordinator->initialSettingsTab(), 0);
    performMenuBarAction(*coordinator, MenuBarAction::about);
    EXPECT_EQ(cards->withId("about").size(), 1u);

    performMenuBarAction(*coordinator, MenuBarAction::checkForUpdates);
    performMenuBarAction(*coordinator, MenuBarAction::installUpdate);
    EXPECT_EQ(updater->checkCount(), 2);

    performMenuBarAction(*coordinator, MenuBarAction::signOut);
    EXPECT_TRUE(runUntil([&] { return !coordinator->isAuthenticated(); }));
}

TEST_F(MenuBarActions, GrantPromptsAndAStaleSettingsEntryOpensNothing) {
    launch();
    ASSERT_TRUE(coordinator->requiresOnboarding());
    performMenuBarAction(*coordinator, MenuBarAction::settings);
    EXPECT_TRUE(cards->made.empty());

    desktop.setGrantTrustOnPrompt(true);
    performMenuBarAction(*coordinator, MenuBarAction::grantAccessibility);
    EXPECT_TRUE(runUntil([&] { return coordinator->hasPermissions(); }));
    EXPECT_EQ(desktop.trustPromptCount(), 1);
}
