#pragma once
// The application: crash reporting first, then the fonts, then the one coordinator with every
// window and panel it drives, and the tray item whose menu reads it. Lives for the whole run on
// the GUI thread.

#include "platform/linux/qt_executor.hpp"

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

    // Another launch asked for the window: onboarding or the settings.
    void showMainWindow();

private:
    std::shared_ptr<AppCoordinator> coordinator_;
    std::unique_ptr<MenuBarView> menuBar_;
};

} // namespace pennial
