#include "main/pennial_app.hpp"

#include "app/app_coordinator.hpp"
#include "app/crash_reporting.hpp"
#include "base/log.hpp"
#include "base/task.hpp"
#include "composition/linux_coordinator_dependencies.hpp"
#include "composition/linux_updates.hpp"
#include "platform/linux/input/evdev_key_event_source.hpp"
#include "platform/linux/portal/portal_keyboard_synthesizer.hpp"
#include "platform/linux/session/display_session.hpp"
#include "platform/linux/x11/x11_window_visibility.hpp"
#include "platform/linux/x11/x11_workspace.hpp"
#include "ui/cards/card_window_services.hpp"
#include "ui/cards/own_window_registry.hpp"
#include "ui/cards/qt_card_window_factory.hpp"
#include "ui/cards/qt_window_focus.hpp"
#include "ui/code_panel/notch_passcode_panel_controller.hpp"
#include "ui/design/pn_fonts.hpp"
#include "ui/install/update_dialog.hpp"
#include "ui/install/user_install_dialogs.hpp"
#include "ui/media/app_icon_view.hpp"
#include "ui/overlay/spinner_overlay_controller.hpp"
#include "ui/tray/menu_bar_view.hpp"
#include "windows/about/about_content.hpp"
#include "windows/onboarding/glass_onboarding_card.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"
#include "windows/settings/commands_tab.hpp"
#include "windows/settings/settings_content.hpp"

#include <QCoreApplication>
#include <QFile>
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

    const bool wayland = detectDisplaySession(*dependencies.environment) == DisplaySession::wayland;
    dependencies.spinner = std::make_shared<SpinnerOverlayController>(
        dependencies.screens, SpinnerOverlayTimings{},
        wayland ? PanelPlacing::outsideWindowManager : PanelPlacing::windowManager);
    dependencies.notchPasscodePanel =
        std::make_shared<NotchPasscodePanelController>(dependencies.screens, dependencies.main);
    auto cardWindows = std::make_shared<QtCardWindowFactory>(cards);
    cardWindows->setContentBuilder(CardWindowContent::settings,
                                   settingsContent(dependencies.main, makeCommandsTab));
    cardWindows->setContentBuilder(CardWindowContent::about,
                                   aboutContentBuilder(dependencies.workspace));
    dependencies.cardWindows = std::move(cardWindows);
    dependencies.windowFocus = focus;
    auto onboarding = std::make_shared<QtOnboardingWindowController>(glassOnboardingCards(cards));
    // Wayland hands no application another's keys: only the input devices show them.
    if (wayland)
        onboarding->model().hasKeyboardAccess = [] { return EvdevKeyEventSource::isAvailable(); };
    onboarding->model().asksDesktopForKeyboard =
        dynamic_cast<PortalKeyboardSynthesizer*>(dependencies.keyboardSynthesizer.get()) != nullptr;
    dependencies.onboardingWindow = std::move(onboarding);
}

// The updater that fits where the program runs from, with its dialog, and the offer to install a
// program run from a download.
void addUpdates(CoordinatorDependencies& dependencies) {
    // Handing over to the new copy ends the event loop even while a window that may not be closed
    // (onboarding) is up, which a quit asked of the windows would not.
    const std::function<void()> quit = [] { QCoreApplication::exit(0); };
    auto dialog = std::make_shared<UpdateDialog>();
    dependencies.updater = linuxUpdater(
        dependencies, [dialog](const UpdateNotice& notice) { dialog->present(notice); }, quit);
    QFile icon(":/media/AppIcon.svg");
    icon.open(QIODevice::ReadOnly);
    dependencies.moveToApplications =
        userInstallPrompt(dependencies, askToInstallForUser, showUserInstallError,
                          icon.readAll().toStdString(), quit);
}

} // namespace

PennialApp::PennialApp(QtExecutionContext& main, std::function<void()> quit) : main_(main) {
    auto dependencies = linuxCoordinatorDependencies(main);
    // Running before anything else is built, so that the start-up's breadcrumbs and errors reach
    // it.
    startCrashReporting(*dependencies.crashReporter, crashReportingDsn(*dependencies.environment));
    PNFonts::registerCustomFonts();
    // The icon our windows show (the onboarding header draws it too).
    QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(AppIconView::render(256))));
    addUserInterface(dependencies);
    addUpdates(dependencies);
    coordinator_ = AppCoordinator::create(std::move(dependencies));
    menuBar_ = std::make_unique<MenuBarView>(coordinator_, std::move(quit));
}

PennialApp::~PennialApp() {
    // The event loop has ended: a paste waiting to give the clipboard back never will.
    if (coordinator_)
        coordinator_->returnLentClipboard();
}

void PennialApp::showMainWindow() {
    logLine("🪟 [Pennial] Another launch asked for the window");
    coordinator_->showMainWindow();
}

void PennialApp::shutdown() {
    if (!coordinator_)
        return;
    menuBar_.reset();
    // The events the coordinator's tasks need keep being processed while it ends them.
    auto processEventsWhile = [](auto condition, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (condition() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            20);
    };
    auto ended = std::make_shared<bool>(false);
    auto task = Task::spawn(main_.get_executor(), coordinator_->shutdown(),
                            [ended](std::exception_ptr) { *ended = true; });
    // The coordinator's own limit, and a little more for its last steps.
    processEventsWhile([&] { return !*ended; }, std::chrono::seconds(3));
    coordinator_->returnLentClipboard();
    // A task held up by an application that does not answer (a write waiting on it) still holds
    // the coordinator: its last holder would destroy it on a pool's thread, windows and all. It
    // gets the time a held-up call takes to run out; past that the coordinator is left as it is.
    processEventsWhile([&] { return coordinator_.use_count() > 1; }, std::chrono::seconds(5));
    if (coordinator_.use_count() > 1) {
        logLine("⚠️ [Pennial] A task still held the coordinator at quit: left running");
        new std::shared_ptr<AppCoordinator>(std::move(coordinator_));
    }
    coordinator_.reset();
    QCoreApplication::processEvents(); // what the last owners queued on their way out
}

} // namespace pennial
