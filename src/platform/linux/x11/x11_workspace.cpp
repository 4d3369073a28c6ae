#include "platform/linux/x11/x11_workspace.hpp"

#include "base/log.hpp"
#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/x11/x11_connection.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <asio/post.hpp>
#include <cctype>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace pennial {

namespace {

// How often the accessibility bus is asked to name the active window's application.
constexpr int namingAttempts = 3;

// The program's own name: the kernel's copy (comm) is cut to 15 characters ("gnome-text-edit"),
// the command line's first word is not.
std::optional<std::string> processName(Pid pid) {
    const std::string process = "/proc/" + std::to_string(pid);
    std::ifstream commandLine(process + "/cmdline", std::ios::binary);
    std::string program;
    if (std::getline(commandLine, program, '\0') && !program.empty()) {
        program = program.substr(program.find_last_of('/') + 1);
        if (!program.empty())
            return program;
    }
    std::ifstream comm(process + "/comm");
    std::string name;
    if (!std::getline(comm, name) || name.empty())
        return std::nullopt;
    return name;
}

// Only addresses with a scheme go to the handler: anything else could be taken for an option.
bool hasScheme(const std::string& url) {
    const auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(url[0])))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

} // namespace

struct X11Workspace::Observers {
    struct Observer {
        Executor executor;
        ActivationHandler handler;
    };
    std::mutex mutex;
    std::map<int, Observer> byId;
    int next = 1;
};

// Reads the window manager's properties, on the connection's thread.
struct X11Workspace::Reader {
    explicit Reader(Display* display)
        : activeWindow(XInternAtom(display, "_NET_ACTIVE_WINDOW", False)),
          wmPid(XInternAtom(display, "_NET_WM_PID", False)),
          gtkApplicationId(XInternAtom(display, "_GTK_APPLICATION_ID", False)),
          clientList(XInternAtom(display, "_NET_CLIENT_LIST", False)),
          wmName(XInternAtom(display, "_NET_WM_NAME", False)),
          utf8String(XInternAtom(display, "UTF8_STRING", False)) {}

    // A property's 32-bit items (which Xlib hands out as longs); none when it or the window is
    // missing.
    static std::vector<unsigned long> items(Display* display, Window window, Atom property,
                                            Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> found;
        if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType,
                               &format, &count, &remaining, &data) == Success &&
            data && format == 32) {
            const auto* values = reinterpret_cast<const unsigned long*>(data);
            found.assign(values, values + count);
        }
        if (data)
            XFree(data);
        return found;
    }

    std::optional<std::string> text(Display* display, Window window, Atom property) const {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::optional<std::string> found;
        if (XGetWindowProperty(display, window, property, 0, 4096, False, utf8String, &actualType,
                               &format, &count, &remaining, &data) == Success &&
            data && format == 8 && count > 0)
            found.emplace(reinterpret_cast<const char*>(data), count);
        if (data)
            XFree(data);
        return found;
    }

    std::optional<Pid> pidOf(Display* display, Window window) const {
        auto pid = items(display, window, wmPid, XA_CARDINAL);
        if (pid.empty() || pid[0] == 0)
            return std::nullopt;
        return static_cast<Pid>(pid[0]);
    }

    std::optional<ActiveWindow> readActive(Display* display) const {
        X11ErrorTrap trap(display); // the window may go while we read it
        auto active = items(display, DefaultRootWindow(display), activeWindow, XA_WINDOW);
        if (active.empty() || active[0] == None)
            return std::nullopt;
        const Window window = active[0];
        auto pid = pidOf(display, window);
        if (!pid)
            return std::nullopt;
        ActiveWindow found;
        found.pid = *pid;
        found.processName = processName(*pid);
        // The application's identity as the desktop knows it: the application id GTK sets, else
        // the window class, else the process's name.
        found.bundleIdentifier = text(display, window, gtkApplicationId);
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint)) {
            if (hint.res_class && *hint.res_class) {
                found.windowClass = hint.res_class;
                if (!found.bundleIdentifier)
                    found.bundleIdentifier = hint.res_class;
            }
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        if (!found.bundleIdentifier)
            found.bundleIdentifier = found.processName;
        return found;
    }

    std::optional<Point> originOf(Display* display, Pid pid, const std::string& title) const {
        X11ErrorTrap trap(display);
        const Window root = DefaultRootWindow(display);
        std::vector<Window> windows;
        for (auto window : items(display, root, clientList, XA_WINDOW))
            if (pidOf(display, window) == pid)
                windows.push_back(window);
        std::optional<Window> chosen;
        for (auto window : windows)
            if (text(display, window, wmName) == title) {
                chosen = window;
                break;
            }
        if (!chosen && windows.size() == 1)
            chosen = windows.front();
        int x = 0;
        int y = 0;
        Window child = None;
        if (!chosen || !XTranslateCoordinates(display, *chosen, root, 0, 0, &x, &y, &child))
            return std::nullopt;
        return Point{static_cast<double>(x), static_cast<double>(y)};
    }

    bool hasWindowsOf(Display* display, Pid pid) const {
        X11ErrorTrap trap(display);
        for (auto window : items(display, DefaultRootWindow(display), clientList, XA_WINDOW))
            if (pidOf(display, window) == pid)
                return true;
        return false;
    }

    const Atom activeWindow;
    const Atom wmPid;
    const Atom gtkApplicationId;
    const Atom clientList;
    const Atom wmName;
    const Atom utf8String;
};

X11Workspace::X11Workspace(Executor main, ActiveWindowSource source)
    : activations_(std::move(main), [this](const Pid& pid) { announce(pid); }),
      observers_(std::make_shared<Observers>()) {
    const bool followWindowManager = source == ActiveWindowSource::windowManager;
    connection_ = X11Connection::open([this, followWindowManager](Display* display, XEvent& event) {
        if (followWindowManager && event.type == PropertyNotify && reader_ &&
            event.xproperty.window == DefaultRootWindow(display) &&
            event.xproperty.atom == reader_->activeWindow)
            activeWindowChanged(reader_->readActive(display));
    });
    if (!connection_)
        return;
    connection_->call([this, followWindowManager](Display* display) {
        reader_ = std::make_unique<Reader>(display);
        if (!followWindowManager)
            return;
        XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask);
        auto active = reader_->readActive(display);
        std::lock_guard lock(mutex_);
        active_ = std::move(active);
        DesktopActivity::instance().noteRestChange();
        // The application active when we start is not an activation.
        if (active_)
            announcedPid_ = active_->pid;
    });
}

X11Workspace::~X11Workspace() {
    connection_.reset();
    activations_.close();
}

void X11Workspace::activeWindowChanged(std::optional<ActiveWindow> window) {
    std::optional<Pid> changedTo;
    {
        std::lock_guard lock(mutex_);
        active_ = std::move(window);
        // Strictly later than the last one: readers tell activations apart by it.
        auto now = std::chrono::steady_clock::now();
        if (activeSince_ && now <= *activeSince_)
            now = *activeSince_ + std::chrono::steady_clock::duration(1);
        activeSince_ = now;
        DesktopActivity::instance().noteRestChange();
        described_.reset();
        namings_ = 0;
        if (!active_) {
            announcedPid_.reset();
        } else if (announcedPid_ != active_->pid) {
            // Another window of the same application is no activation.
            announcedPid_ = active_->pid;
            changedTo = active_->pid;
        }
    }
    if (changedTo)
        activations_.post(*changedTo);
}

void X11Workspace::reportActiveWindow(Pid pid) {
    ActiveWindow window;
    window.pid = pid;
    window.processName = processName(pid);
    // No window property names the application here: its process goes by its own name.
    window.bundleIdentifier = window.processName;
    activeWindowChanged(std::move(window));
}

void X11Workspace::announce(Pid pid) {
    auto application = describeActive();
    // Another change is on its way when the active window moved on meanwhile.
    if (!application || application->processIdentifier != pid)
        return;
    std::vector<Observers::Observer> observers;
    {
        std::lock_guard lock(observers_->mutex);
        for (const auto& [id, observer] : observers_->byId)
            observers.push_back(observer);
    }
    for (auto& observer : observers)
        asio::post(observer.executor, [handler = std::move(observer.handler),
                                       application = *application] { handler(application); });
}

std::optional<RunningApplication> X11Workspace::describeActive() {
    std::optional<ActiveWindow> active;
    ApplicationNames names;
    {
        std::lock_guard lock(mutex_);
        if (described_ || !active_)
            return described_;
        active = active_;
        names = names_;
    }
    // Outside the lock: the name may take a call to the accessibility bus.
    auto name = names ? names(active->pid) : std::nullopt;
    // The bus may be busy: the window's class or the program's name stand in, until it answers.
    RunningApplication application{active->pid, active->bundleIdentifier,
                                   name                  ? name
                                   : active->processName ? active->processName
                                                         : active->windowClass};
    std::lock_guard lock(mutex_);
    // Asked again a few times while the bus gives no name; an application not on it never will.
    if (active_ && active_->pid == application.processIdentifier &&
        (name || !names || ++namings_ >= namingAttempts))
        described_ = application;
    return application;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    return describeActive();
}

Pid X11Workspace::currentProcessId() {
    return static_cast<Pid>(::getpid());
}

void X11Workspace::addOwnWindow(std::string identifier, QWidget* window) {
    std::lock_guard lock(mutex_);
    ownWindows_.emplace_back(std::move(identifier), QPointer<QWidget>(window));
}

std::vector<OwnWindow> X11Workspace::ownWindows() {
    std::lock_guard lock(mutex_);
    std::erase_if(ownWindows_, [](const auto& entry) { return entry.second.isNull(); });
    std::vector<OwnWindow> windows;
    for (const auto& [identifier, widget] : ownWindows_)
        windows.push_back({identifier, widget->isVisible() && !widget->isMinimized()});
    return windows;
}

Subscription X11Workspace::observeApplicationActivation(Executor executor,
                                                        ActivationHandler handler) {
    int id;
    {
        std::lock_guard lock(observers_->mutex);
        id = observers_->next++;
        observers_->byId.emplace(id, Observers::Observer{std::move(executor), std::move(handler)});
    }
    return Subscription([weakObservers = std::weak_ptr<Observers>(observers_), id] {
        if (auto observers = weakObservers.lock()) {
            std::lock_guard lock(observers->mutex);
            observers->byId.erase(id);
        }
    });
}

bool X11Workspace::openURL(const std::string& url) {
    if (!hasScheme(url)) {
        logLine("⚠️ [Workspace] Not an address the desktop can open");
        return false;
    }
    std::string program = "xdg-open";
    std::vector<char*> arguments{program.data(), const_cast<char*>(url.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments.data(), environ) != 0) {
        logLine("❌ [Workspace] Could not start xdg-open");
        return false;
    }
    // It may wait for the handler it starts; nobody waits for it but this.
    std::thread([child] {
        int status = 0;
        if (waitpid(child, &status, 0) == child && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
            logLine("⚠️ [Workspace] The desktop could not open an address");
    }).detach();
    return true;
}

void X11Workspace::setApplicationNames(ApplicationNames names) {
    std::lock_guard lock(mutex_);
    names_ = std::move(names);
    described_.reset();
}

std::optional<Pid> X11Workspace::activeWindowProcess() const {
    std::lock_guard lock(mutex_);
    return active_ ? std::optional(active_->pid) : std::nullopt;
}

std::optional<std::chrono::steady_clock::time_point> X11Workspace::activeWindowSince() const {
    std::lock_guard lock(mutex_);
    return activeSince_;
}

std::optional<Point> X11Workspace::windowOrigin(Pid pid, const std::string& title) {
    if (!connection_)
        return std::nullopt;
    return connection_->call(
        [&](Display* display) { return reader_->originOf(display, pid, title); });
}

bool X11Workspace::hasWindowsOf(Pid pid) {
    if (!connection_)
        return false;
    return connection_->call([&](Display* display) { return reader_->hasWindowsOf(display, pid); });
}

} // namespace pennial
