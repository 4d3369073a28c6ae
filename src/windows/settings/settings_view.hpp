#pragma once
// The settings window's whole content: a centred bar of three tabs ("General", "Commands",
// "Account"), a divider, and the selected tab's view below. A tab's view exists only while it is
// selected, so every visit starts afresh and reloads.

#include "base/runtime.hpp"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QVBoxLayout;

namespace pennial {

class AppCoordinator;
class SettingsTabButton;

class SettingsView : public QWidget {
public:
    using TabBuilder = std::function<std::unique_ptr<QWidget>(AppCoordinator&)>;

    static constexpr int generalTab = 0;
    static constexpr int commandsTab = 1;
    static constexpr int accountTab = 2;

    // Opens on selectedTab (a value outside the three shows no tab's view). The Commands tab's
    // view comes from makeCommandsTab; tasks run on main, the executor of this thread.
    SettingsView(AppCoordinator& coordinator, Executor main, int selectedTab,
                 TabBuilder makeCommandsTab, QWidget* parent = nullptr);

    int selectedTab() const { return selectedTab_; }
    // What a click on a tab does.
    void selectTab(int index);

    SettingsTabButton* tabButton(int index) const { return tabs_.at(index); }
    QWidget* tabBar() const { return tabBar_; }
    // The selected tab's view; none for a value outside the three.
    QWidget* content() const { return content_; }

private:
    std::unique_ptr<QWidget> makeContent(int index);

    AppCoordinator& coordinator_;
    Executor main_;
    TabBuilder makeCommandsTab_;
    int selectedTab_;
    QWidget* tabBar_;
    std::array<SettingsTabButton*, 3> tabs_{};
    QVBoxLayout* contentArea_;
    QWidget* content_ = nullptr;
};

} // namespace pennial
