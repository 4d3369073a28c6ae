#include "composition/linux_coordinator_dependencies.hpp"

#include "app/crash_reporting.hpp"
#include "app/package_manager_updater.hpp"
#include "base/log.hpp"
#include "composition/backend_endpoints.hpp"
#include "composition/crash_reporting_dependencies.hpp"
#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/atspi/atspi_thread.hpp"
#include "platform/linux/atspi/atspi_trust.hpp"
#include "platform/linux/linux_platform_factory.hpp"
#include "platform/linux/qt/qt_clipboard.hpp"
#include "platform/linux/session/display_session.hpp"
#include "platform/linux/session/process_environment.hpp"
#include "platform/linux/storage/file_user_defaults.hpp"
#include "platform/linux/storage/libsecret_store.hpp"
#include "platform/linux/wayland/wayland_clipboard.hpp"
#include "platform/linux/x11/x11_palette_key_interceptor.hpp"
#include "platform/linux/x11/xinput_key_event_source.hpp"
#include "platform/linux/x11/xtest_keyboard_synthesizer.hpp"

namespace pennial {

CoordinatorDependencies linuxCoordinatorDependencies(QtExecutionContext& main) {
    CoordinatorDependencies dependencies;
    dependencies.main = main.get_executor();
    auto environment = std::make_shared<ProcessEnvironment>();
    const auto session = detectDisplaySession(*environment);
    logf("🔵 [Platform] Display session: {}", displaySessionName(session));
    const bool wayland = session == DisplaySession::wayland;

    auto workspace = makeWorkspace(dependencies.main, session);
    dependencies.accessibility = makeAccessibility(workspace, session);
    // Connected once, at start; the switch's launcher is asked again each time.
    dependencies.accessibilityBusReachable = [] {
        return AtspiThread::instance().connected() && atspiAccessibilityEnabled().has_value();
    };
    // KWin hands the clipboard of an Xwayland client (ours, through Qt) to Wayland applications
    // only while one of its windows is active: where the compositor lets us, the clipboard is
    // set on the Wayland side; where not, a native application is given no keyboard paste.
    std::unique_ptr<Clipboard> clipboard = wayland ? WaylandClipboard::connect() : nullptr;
    if (clipboard) {
        logLine("🔵 [Platform] Using the Wayland clipboard (the compositor's clipboard manager)");
    } else {
        clipboard = makeClipboard();
        if (wayland && environment->value("XDG_CURRENT_DESKTOP").value_or("").find("KDE") !=
                           std::string::npos) {
            std::weak_ptr<X11Workspace> windows = workspace;
            dependencies.clipboardReachesPastes = [windows](Pid pid) {
                auto workspace = windows.lock();
                return workspace && workspace->hasWindowsOf(pid);
            };
        }
    }
    dependencies.clipboard = std::move(clipboard);
    dependencies.workspace = std::move(workspace);
    dependencies.screens = makeScreens();
    dependencies.keyEvents = wayland ? makeWaylandKeyEventSource(dependencies.main)
                                     : makeKeyEventSource(dependencies.main);
    dependencies.fieldActivity = desktopActivity();
    dependencies.paletteKeyInterceptor = wayland
                                             ? makeWaylandPaletteKeyInterceptor(dependencies.main)
                                             : makePaletteKeyInterceptor(dependencies.main);
    dependencies.secretStore = std::make_shared<LibsecretStore>();
    dependencies.keyboardSynthesizer =
        wayland ? makeWaylandKeyboardSynthesizer(dependencies.secretStore)
                : makeKeyboardSynthesizer();

    dependencies.userDefaults = std::make_shared<FileUserDefaults>();
    dependencies.endpoints = backendEndpoints(*environment);
    addCrashReporting(dependencies, crashReportingDsn(*environment));
    dependencies.environment = std::move(environment);
    // Without a dialog of their own (the application gives them one): outcomes are logged.
    dependencies.updater = std::make_shared<PackageManagerUpdater>(
        dependencies.main, dependencies.userDefaults, UpdateNoticePresenter{});
    dependencies.moveToApplications = std::make_shared<NoMoveToApplications>();
    return dependencies;
}

} // namespace pennial
