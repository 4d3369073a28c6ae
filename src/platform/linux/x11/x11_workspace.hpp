#pragma once
// The workspace on X11: the frontmost application is the owner of the window manager's active
// window (_NET_ACTIVE_WINDOW, _NET_WM_PID), followed through the root window's property changes on
// an X connection of our own; this application's windows come from a registry the user interface
// fills; addresses open through xdg-open.

#include "base/runtime.hpp"
#include "platform/geometry.hpp"
#include "platform/linux/activity/event_relay.hpp"
#include "platform/workspace.hpp"

#include <QPointer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pennial {

class X11Connection;

class X11Workspace : public Workspace {
public:
    // The name the process's application goes by (the accessibility bus's); none when unknown.
    using ApplicationNames = std::function<std::optional<std::string>(Pid)>;

    // What is known of the active window's owner, read on the connection's thread.
    struct ActiveWindow {
        Pid pid = 0;
        std::optional<std::string> bundleIdentifier;
        std::optional<std::string> processName;
        std::optional<std::string> windowClass; // WM_CLASS's class part
    };

    // Who says which window is active: the window manager (_NET_ACTIVE_WINDOW), or, where it
    // cannot see the user's windows (Xwayland under a Wayland compositor), reportActiveWindow.
    enum class ActiveWindowSource { windowManager, reported };

    // Activations are worked out on main, and handed from there to the observers' executors.
    // Destroy it on main.
    explicit X11Workspace(Executor main,
                          ActiveWindowSource source = ActiveWindowSource::windowManager);
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    // Whether an X display could be reached; without one nothing is frontmost.
    bool hasDisplay() const { return connection_ != nullptr; }

    std::optional<RunningApplication> frontmostApplication() override;
    Pid currentProcessId() override;
    std::vector<OwnWindow> ownWindows() override;
    Subscription observeApplicationActivation(Executor executor,
                                              ActivationHandler handler) override;
    bool openURL(const std::string& url) override;

    // Without it, applications go by their process's name.
    void setApplicationNames(ApplicationNames names);
    // Registers one of this application's windows under the identifier callers know it by
    // ("settings", "about", "onboarding"); it drops out when the widget is destroyed. GUI thread,
    // as is ownWindows().
    void addOwnWindow(std::string identifier, QWidget* window);

    // For the accessibility facility. The process owning the active window:
    std::optional<Pid> activeWindowProcess() const;
    // When the active window last changed (each change strictly later); none before the first.
    std::optional<std::chrono::steady_clock::time_point> activeWindowSince() const;
    // The screen position of the process's top-level window with this title (its only one when
    // no title matches).
    std::optional<Point> windowOrigin(Pid pid, const std::string& title);
    // Whether the process has a top-level window on this display (under Wayland: whether it is an
    // X client, whose screen coordinates mean something).
    bool hasWindowsOf(Pid pid);

    // With ActiveWindowSource::reported: the process whose window became active. Any thread.
    void reportActiveWindow(Pid pid);

private:
    struct Reader;
    struct Observers; // shared with the subscriptions, which may outlive the workspace

    // On the connection's thread.
    void activeWindowChanged(std::optional<ActiveWindow> window);
    // On main.
    void announce(Pid pid);
    std::optional<RunningApplication> describeActive();

    EventRelay<Pid> activations_;
    std::shared_ptr<Observers> observers_;
    mutable std::mutex mutex_; // guards everything below
    std::optional<ActiveWindow> active_;
    std::optional<std::chrono::steady_clock::time_point> activeSince_;
    std::optional<RunningApplication> described_; // the active window's, once worked out
    int namings_ = 0; // times the bus gave the active window's application no name
    std::optional<Pid> announcedPid_;
    ApplicationNames names_;
    std::vector<std::pair<std::string, QPointer<QWidget>>> ownWindows_;
    std::unique_ptr<Reader> reader_; // the connection thread's
    // Last: it goes first, so its thread stops before what it writes to.
    std::unique_ptr<X11Connection> connection_;
};

} // namespace pennial
