#include "platform/linux/linux_platform_factory.hpp"

#include "base/log.hpp"
#include "platform/linux/atspi/atspi_thread.hpp"
#include "platform/linux/input/evdev_key_event_source.hpp"
#include "platform/linux/input/evdev_palette_key_observer.hpp"
#include "platform/linux/input/uinput_keyboard_synthesizer.hpp"
#include "platform/linux/portal/portal_keyboard_synthesizer.hpp"
#include "platform/linux/wayland_palette_keys.hpp"

namespace pennial {

namespace {
// Naming the frontmost application may wait this long for the accessibility bus; the caller is
// often the user interface, which must not stall behind a stopped application, and the
// process's name will do.
constexpr std::chrono::milliseconds applicationNameWait{25};
} // namespace

std::shared_ptr<X11Workspace> makeWorkspace(Executor main, DisplaySession session) {
    if (session == DisplaySession::wayland) {
        auto workspace = std::make_shared<X11Workspace>(std::move(main),
                                                        X11Workspace::ActiveWindowSource::reported);
        logLine(
            workspace->hasDisplay()
                ? "🔵 [Platform] Using the Xwayland workspace; the active window is the one "
                  "the accessibility bus reports"
                : "⚠️ [Platform] Using the Xwayland workspace without Xwayland: our windows "
                  "cannot be shown");
        return workspace;
    }
    auto workspace = std::make_shared<X11Workspace>(std::move(main));
    if (workspace->hasDisplay())
        logLine("🔵 [Platform] Using the X11 workspace");
    else
        logLine(
            "⚠️ [Platform] Using the X11 workspace without a display: no application will be "
            "frontmost");
    return workspace;
}

std::shared_ptr<AtspiAccessibility>
makeAccessibility(const std::shared_ptr<X11Workspace>& workspace, DisplaySession session) {
    // Neither keeps the other: each goes with its owner.
    std::weak_ptr<X11Workspace> windows = workspace;
    AtspiDesktopHooks hooks;
    hooks.activeWindowProcess = [windows]() -> std::optional<Pid> {
        auto workspace = windows.lock();
        return workspace ? workspace->activeWindowProcess() : std::nullopt;
    };
    hooks.activeWindowSince = [windows]() -> std::optional<std::chrono::steady_clock::time_point> {
        auto workspace = windows.lock();
        return workspace ? workspace->activeWindowSince() : std::nullopt;
    };
    hooks.windowOrigin = [windows](Pid pid, const std::string& title) -> std::optional<Point> {
        auto workspace = windows.lock();
        return workspace ? workspace->windowOrigin(pid, title) : std::nullopt;
    };
    if (session == DisplaySession::wayland) {
        hooks.windowActivated = [windows](Pid pid) {
            if (auto workspace = windows.lock())
                workspace->reportActiveWindow(pid);
        };
        // Only X clients (on Xwayland) place their windows where the screen's coordinates say.
        hooks.screenCoordinatesKnown = [windows](Pid pid) {
            auto workspace = windows.lock();
            return workspace && workspace->hasWindowsOf(pid);
        };
    }
    auto accessibility = std::make_shared<AtspiAccessibility>(std::move(hooks));
    std::weak_ptr<AtspiAccessibility> named = accessibility;
    workspace->setApplicationNames([named](Pid pid) -> std::optional<std::string> {
        auto accessibility = named.lock();
        return accessibility ? accessibility->applicationName(pid, applicationNameWait)
                             : std::nullopt;
    });
    if (AtspiThread::instance().connected())
        logLine("🔵 [Platform] Using AT-SPI accessibility");
    else
        logLine("⚠️ [Platform] Using AT-SPI accessibility, but the accessibility bus cannot be "
                "reached");
    return accessibility;
}

std::unique_ptr<KeyEventSource> makeWaylandKeyEventSource(Executor main) {
    if (EvdevKeyEventSource::isAvailable())
        logLine("🔵 [Platform] Using the input devices' key events");
    else
        logLine("⚠️ [Platform] No keyboard device can be read (the user is not in the input "
                "group); typed keys are not seen");
    return std::make_unique<EvdevKeyEventSource>(std::move(main));
}

std::unique_ptr<PaletteKeyInterceptor> makeWaylandPaletteKeyInterceptor(Executor main) {
    logLine("🔵 [Platform] Watching the palette keys on the input devices (Wayland lets no "
            "application take them), and the Escape applications report");
    return std::make_unique<WaylandPaletteKeys>(
        std::make_unique<EvdevPaletteKeyObserver>(std::make_unique<EvdevKeyEventSource>(main)),
        std::make_unique<AtspiEscapeReports>(main));
}

std::unique_ptr<KeyboardSynthesizer>
makeWaylandKeyboardSynthesizer(std::shared_ptr<SecretStore> secrets) {
    if (auto synthesizer = UinputKeyboardSynthesizer::create()) {
        logLine("🔵 [Platform] Using a virtual keyboard for synthesised shortcuts");
        return synthesizer;
    }
    logLine("🔵 [Platform] /dev/uinput cannot be written; shortcuts go through the desktop's "
            "remote desktop portal, asked for once monitoring starts");
    // Until the desktop grants its keyboard the keyboard pastes fail at once, before they touch
    // the clipboard.
    PortalKeyboardSynthesizer::Options options;
    options.secrets = std::move(secrets);
    return std::make_unique<PortalKeyboardSynthesizer>(std::move(options));
}

std::shared_ptr<Screens> makeScreens() {
    logLine("🔵 [Platform] Using the Qt screens");
    return std::make_shared<QtScreens>();
}

} // namespace pennial
