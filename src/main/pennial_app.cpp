#include "main/pennial_app.hpp"

#include "app/app_coordinator.hpp"
#include "app/crash_reporting.hpp"
#include "base/log.hpp"
#include "composition/linux_coordinator_dependencies.hpp"
#include "platform/linux/x11_window_visibility.hpp"
#include "platform/linux/x11_workspace.hpp"
#include "ui/cards/card_window_services.hpp"
#include "ui/cards/own_window_registry.hpp"
#include "ui/cards/qt_card_window_factory.hpp"
#include "ui/cards/qt_window_focus.hpp"
#include "ui/code_panel/notch_passcode_panel_controller.hpp"
#include "ui/design/pn_fonts.hpp"
#include "ui/media/app_icon_view.hpp"
#include "ui/overlay/spinner_overlay_controller.hpp"
#include "ui/tray/menu_bar_view.hpp"
#include "windows/about/about_content.hpp"
#include "windows/onboarding/glass_onboarding_card.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"
#include "windows/settings/commands_tab.hpp"
#include "windows/settings/settings_content.hpp"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

namespace pennial {

namespace {

// The windows and panels the coordinator drives, on Qt.
void addUserInterface(CoordinatorDependencies& dependencies) {
    auto workspace = std::dynamic_pointer_cast<X11Workspace>(dependencies.workspace);
    auto ownWindows = std::make_shared<X11OwnWindowRegistry>(workspace);
    auto focus = std::make_shared<QtWindowFocus>(ownWindows);
    const CardWindowServices cards{dependencies.screens, focus, ownWindows,
                                   X11WindowVisibility::open()};

    dependencies.spinner = std::make_shared<SpinnerOverlayController>(dependencies.screens);
    dependencies.notchPasscodePanel =
        std::make_shared<NotchPasscodePanelController>(dependencies.screens, dependencies.main);
    auto cardWindows = std::make_shared<QtCardWindowFactory>(cards);
    cardWindows->setContentBuilder(CardWindowContent::settings,
                                   settingsContent(dependencies.main, makeCommandsTab));
    cardWindows->setContentBuilder(CardWindowContent::about,
                                   aboutContentBuilder(dependencies.workspace));
    dependencies.cardWindows = std::move(cardWindows);
    dependencies.windowFocus = focus;
    dependencies.onboardingWindow =
        std::make_shared<QtOnboardingWindowController>(glassOnboardingCards(cards));
}

} // namespace

PennialApp::PennialApp(QtExecutionContext& main, std::function<void()> quit) {
    auto dependencies = linuxCoordinatorDependencies(main);
    // Running before anything else is built, so that the start-up's breadcrumbs and errors reach
    // it.
    startCrashReporting(*dependencies.crashReporter, crashReportingDsn(*dependencies.environment));
    PNFonts::registerCustomFonts();
    // The icon our windows show (the onboarding header draws it too).
    QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(AppIconView::render(256))));
    addUserInterface(dependencies);
    coordinator_ = AppCoordinator::create(std::move(dependencies));
    menuBar_ = std::make_unique<MenuBarView>(coordinator_, std::move(quit));
}

PennialApp::~PennialApp() {
    // The event loop has ended: a paste waiting to give the clipboard back never will.
    coordinator_->returnLentClipboard();
}

void PennialApp::showMainWindow() {
    logLine("🪟 [Pennial] Another launch asked for the window");
    coordinator_->showMainWindow();
}

} // namespace pennial
