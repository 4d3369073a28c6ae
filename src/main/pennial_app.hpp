#pragma once
// The application: crash reporting first, then the fonts, then the one coordinator with every
// window and panel it drives, and the tray item whose menu reads it. Lives for the whole run on
// the GUI thread.

#include "platform/linux/qt/qt_executor.hpp"

#include <functional>
#include <memory>

namespace pennial {

class AppCoordinator;
class MenuBarView;

class PennialApp {
public:
    // quit ends the event loop: the menu's last entry.
    PennialApp(QtExecutionContext& main, std::function<void()> quit);
    ~PennialApp();
    PennialApp(const PennialApp&) = delete;
    PennialApp& operator=(const PennialApp&) = delete;

    // Quitting, in order: the coordinator stops monitoring and ends every task (the Qt events
    // they need are processed meanwhile), gives back a lent clipboard, then the coordinator and
    // the interface are destroyed.
    void shutdown();

    // Another launch asked for the window: onboarding or the settings.
    void showMainWindow();

private:
    QtExecutionContext& main_;
    std::shared_ptr<AppCoordinator> coordinator_;
    std::unique_ptr<MenuBarView> menuBar_;
};

} // namespace pennial
