#pragma once
// The tray item and its menu, drawn from the coordinator: the menu is rebuilt from the
// coordinator's state whenever it changes, the icon gains its dot when an update is found, and the
// tooltip carries the status and the last error. Either button opens the menu. Entries that open a
// window or a system prompt act once the menu has closed. Without a tray on the desktop the
// window it would lead to is opened instead. GUI thread.

#include "app/change_signal.hpp"
#include "app/menu_bar_menu.hpp"

#include <QColor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

namespace pennial {

class AppCoordinator;

class MenuBarView {
public:
    // quit ends the application (the owner of the event loop decides how).
    MenuBarView(std::shared_ptr<AppCoordinator> coordinator, std::function<void()> quit);
    ~MenuBarView();
    MenuBarView(const MenuBarView&) = delete;
    MenuBarView& operator=(const MenuBarView&) = delete;

    QMenu& menu() { return menu_; }
    QSystemTrayIcon& trayIcon() { return tray_; }
    // The colour the icon is drawn in, chosen for the tray's background.
    QColor iconColour() const { return iconColour_; }

    // Carries out an entry as choosing it in the menu does.
    void choose(MenuBarAction action);
    // Chooses the icon's colour again from what lies behind it.
    void matchTrayBackground();

private:
    void rebuild();
    void updateToolTip();
    void setIconColour(const QColor& colour);
    void openMenuFromIcon();

    std::shared_ptr<AppCoordinator> coordinator_;
    std::function<void()> quit_;
    QMenu menu_;
    QSystemTrayIcon tray_;
    std::vector<MenuBarEntry> shown_;
    bool badged_ = false;
    QColor iconColour_;
    ChangeSignal::Connection changes_;
};

} // namespace pennial
