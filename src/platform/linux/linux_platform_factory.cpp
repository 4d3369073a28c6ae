#include "platform/linux/linux_platform_factory.hpp"

#include "base/log.hpp"
#include "platform/linux/atspi_thread.hpp"

namespace pennial {

namespace {
// Naming the frontmost application may wait this long for the accessibility bus; the caller is
// often the user interface, which must not stall behind a stopped application, and the
// process's name will do.
constexpr std::chrono::milliseconds applicationNameWait{25};
} // namespace

std::shared_ptr<X11Workspace> makeWorkspace(Executor main) {
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
makeAccessibility(const std::shared_ptr<X11Workspace>& workspace) {
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

std::shared_ptr<Screens> makeScreens() {
    logLine("🔵 [Platform] Using the Qt screens");
    return std::make_shared<QtScreens>();
}

} // namespace pennial
