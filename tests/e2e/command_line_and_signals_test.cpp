// The program as a shell starts and ends it: --help and --version answer without a display and
// without starting the tray program, a wrong option is refused with the usage, a session with no
// display is told so in one line, and the signals a logout or a terminal sends end it as its Quit
// item does, with exit status 0, handing what it holds on the clipboard to the desktop's
// clipboard manager.

#include "desktop_session.hpp"
#include "running_application.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <atomic>
#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <thread>

// After Qt's headers: Xlib's macros name what Qt's headers declare.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace pennial::e2e;

namespace {

struct Finished {
    int status = -1;
    QString out;
    QString err;
};

Finished runProgram(const QStringList& arguments, bool withDisplay = true) {
    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    if (!withDisplay) {
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
    }
    process.setProcessEnvironment(environment);
    process.start(applicationPath(), arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// A clipboard manager as a desktop runs one, on a thread and an X connection of its own: it owns
// CLIPBOARD_MANAGER; asked to SAVE_TARGETS it reads every target of the clipboard from its owner
// and keeps them, and once the owner has left the clipboard it takes it and serves what it kept.
class ClipboardManager {
public:
    ClipboardManager() : display_(XOpenDisplay(nullptr)) {
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display_, atom("CLIPBOARD_MANAGER"), window_, CurrentTime);
        XSync(display_, False);
        thread_ = std::thread([this] { run(); });
    }
    ~ClipboardManager() {
        stop_ = true;
        thread_.join();
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    ClipboardManager(const ClipboardManager&) = delete;
    ClipboardManager& operator=(const ClipboardManager&) = delete;

    // A kept target's bytes, by the target's name.
    std::optional<std::string> kept(const std::string& target) const {
        const std::lock_guard lock(mutex_);
        const auto found = kept_.find(target);
        return found == kept_.end() ? std::nullopt : std::optional(found->second.bytes);
    }

private:
    struct Property {
        Atom type = 0;
        int format = 8;
        std::string bytes;
    };

    Atom atom(const char* name) { return XInternAtom(display_, name, False); }

    void run() {
        bool serving = false;
        while (!stop_) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == SelectionRequest)
                    answer(event.xselectionrequest);
            }
            const bool holding = [&] {
                const std::lock_guard lock(mutex_);
                return !kept_.empty();
            }();
            if (holding && !serving && XGetSelectionOwner(display_, atom("CLIPBOARD")) == 0) {
                XSetSelectionOwner(display_, atom("CLIPBOARD"), window_, CurrentTime);
                serving = true;
            }
            pollfd wait{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&wait, 1, 20);
        }
    }

    void answer(const XSelectionRequestEvent& request) {
        Atom property = request.property;
        const std::lock_guard lock(mutex_);
        if (request.selection == atom("CLIPBOARD_MANAGER") &&
            request.target == atom("SAVE_TARGETS")) {
            if (!save())
                property = 0;
        } else if (request.selection == atom("CLIPBOARD") && request.target == atom("TARGETS")) {
            std::vector<Atom> targets{atom("TARGETS")};
            for (const auto& [name, kept] : kept_)
                targets.push_back(atom(name.c_str()));
            XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(targets.data()), int(targets.size()));
        } else if (char* name = XGetAtomName(display_, request.target);
                   request.selection == atom("CLIPBOARD") && kept_.count(name)) {
            const Property& kept = kept_.at(name);
            XChangeProperty(display_, request.requestor, property, kept.type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(kept.bytes.data()),
                            int(kept.bytes.size()));
            XFree(name);
        } else {
            if (name)
                XFree(name);
            property = 0;
        }
        XEvent reply{};
        reply.xselection = {
            SelectionNotify, 0,        True,        display_, request.requestor, request.selection,
            request.target,  property, request.time};
        XSendEvent(display_, request.requestor, False, 0, &reply);
        XFlush(display_);
    }

    // Every target the owner offers, but those about the selection itself; text-like ones only
    // (8-bit), which is what the program is asked to hand over here.
    bool save() {
        const auto targets = convert(atom("TARGETS"));
        if (!targets || targets->format != 32)
            return false;
        const auto* atoms = reinterpret_cast<const Atom*>(targets->bytes.data());
        for (std::size_t i = 0; i < targets->bytes.size() / sizeof(Atom); ++i) {
            char* name = XGetAtomName(display_, atoms[i]);
            const std::string target = name;
            XFree(name);
            if (target == "TARGETS" || target == "MULTIPLE" || target == "TIMESTAMP" ||
                target == "SAVE_TARGETS")
                continue;
            if (auto value = convert(atoms[i]); value && value->format == 8)
                kept_[target] = std::move(*value);
        }
        return !kept_.empty();
    }

    std::optional<Property> convert(Atom target) {
        const Atom into = atom("PENNIAL_TEST_KEPT");
        XConvertSelection(display_, atom("CLIPBOARD"), target, into, window_, CurrentTime);
        XFlush(display_);
        XEvent event;
        for (int tries = 0; !XCheckTypedWindowEvent(display_, window_, SelectionNotify, &event);
             ++tries) {
            if (tries == 100)
                return std::nullopt;
            pollfd wait{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&wait, 1, 20);
        }
        if (event.xselection.property == 0)
            return std::nullopt;
        Property value;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display_, window_, into, 0, LONG_MAX / 4, True, AnyPropertyType,
                           &value.type, &value.format, &items, &after, &data);
        if (!data)
            return std::nullopt;
        // Xlib hands 32-bit items as longs.
        const std::size_t unit = value.format == 32 ? sizeof(long) : std::size_t(value.format / 8);
        value.bytes.assign(reinterpret_cast<const char*>(data), items * unit);
        XFree(data);
        return value;
    }

    Display* display_;
    Window window_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Property> kept_;
};

QString clipboardText() {
    return QGuiApplication::clipboard()->text();
}

} // namespace

TEST(CommandLine, HelpAndVersionPrintAndEndAWrongOptionIsRefusedAndNoDisplayIsToldInOneLine) {
    for (const QString& help : {"--help", "-h"}) {
        const auto run = runProgram({help}, false);
        EXPECT_EQ(run.status, 0) << help.toStdString();
        EXPECT_TRUE(run.out.startsWith("Usage: pennial")) << run.out.toStdString();
    }
    const auto version = runProgram({"--version"}, false);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QString("Pennial %1\n").arg(PENNIAL_TEST_VERSION));

    const auto wrong = runProgram({"--frobnicate"}, false);
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_TRUE(wrong.err.contains("unknown option '--frobnicate'")) << wrong.err.toStdString();
    EXPECT_TRUE(wrong.err.contains("Usage: pennial"));

    const auto headless = runProgram({}, false);
    EXPECT_EQ(headless.status, 1);
    EXPECT_EQ(headless.err.count('\n'), 1) << headless.err.toStdString();
    EXPECT_TRUE(headless.err.contains("needs a graphical desktop session"));
}

TEST(QuitSignals, ALogoutsOrATerminalsSignalQuitsInOrderWithStatusZero) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    const std::pair<int, const char*> signals[] = {
        {SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
    for (const auto& [signal, name] : signals) {
        RunningApplication application;
        ASSERT_TRUE(application.logged("✅ [Pennial] Startup complete")) << name;
        ::kill(static_cast<pid_t>(application.process().processId()), signal);
        EXPECT_TRUE(application.process().waitForFinished(10000)) << name;
        EXPECT_TRUE(application.logged(QString("👋 [Pennial] Quitting on %1").arg(name), 1s))
            << application.output().toStdString();
        EXPECT_EQ(application.process().exitStatus(), QProcess::NormalExit) << name;
        EXPECT_EQ(application.process().exitCode(), 0) << name;
    }
}

TEST(QuitSignals, WhatTheProgramHoldsOnTheClipboardIsHandedToTheClipboardManagerOnQuit) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    for (const bool bySignal : {false, true}) {
        const QString copied = bySignal ? "term@example.test" : "quit@example.test";
        ClipboardManager manager;
        RunningApplication application;
        auto dump = [&] { return application.output().toStdString(); };
        ASSERT_TRUE(application.openSignIn()) << dump();
        // Copied from the program's own e-mail field: the program owns the clipboard.
        typeOnKeyboard(copied.toStdString());
        pennial::desktop_support::runTool("xdotool", {"key", "ctrl+a", "ctrl+c"});
        ASSERT_TRUE(waitUntil([&] { return clipboardText() == copied; }, 5s)) << bySignal;

        const auto pid = application.process().processId();
        if (bySignal)
            ::kill(static_cast<pid_t>(pid), SIGTERM);
        else
            ASSERT_TRUE(quitFromTray(pid)) << "no tray menu";
        ASSERT_TRUE(application.process().waitForFinished(10000)) << dump();
        EXPECT_EQ(application.process().exitCode(), 0) << dump();
        EXPECT_EQ(manager.kept("UTF8_STRING"), copied.toStdString()) << bySignal;
        EXPECT_TRUE(waitUntil([&] { return clipboardText() == copied; }, 5s))
            << "after the exit the clipboard holds '" << clipboardText().toStdString() << "'";
    }
}
