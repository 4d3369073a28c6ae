// The tray application's entry.

#include "app/command_line.hpp"
#include "base/log.hpp"
#include "base/runtime.hpp"
#include "main/pennial_app.hpp"
#include "platform/linux/qt/qt_executor.hpp"
#include "platform/linux/session/quit_signals.hpp"
#include "platform/linux/session/single_instance.hpp"
#include "platform/linux/storage/legacy_folders.hpp"
#include "platform/linux/x11/display_check.hpp"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    const auto line = pennial::CommandLine::parse({argv + (argc > 0 ? 1 : 0), argv + argc});
    switch (line.request) {
    case pennial::CommandLine::Request::help:
        std::fputs(pennial::commandLineUsage().c_str(), stdout);
        return 0;
    case pennial::CommandLine::Request::version:
        std::fputs(pennial::commandLineVersion().c_str(), stdout);
        return 0;
    case pennial::CommandLine::Request::invalid:
        std::fprintf(stderr, "pennial: unknown option '%s'\n\n%s", line.unknown.c_str(),
                     pennial::commandLineUsage().c_str());
        return 2;
    case pennial::CommandLine::Request::run:
        break;
    }
    // The toolkit aborts where it finds no display; say plainly what is missing instead.
    if (!pennial::canOpenDisplay()) {
        std::fputs("pennial: needs a graphical desktop session (no X display could be opened: "
                   "DISPLAY is unset or unreachable)\n",
                   stderr);
        return 1;
    }

    // Our panels place themselves on the screen, which Wayland does not allow: in a Wayland
    // session they go through Xwayland, and other applications are read over the accessibility
    // bus as on X11.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName("Pennial");
    // Names our windows' desktop entry, so that docks and task switchers show its name and icon.
    QApplication::setDesktopFileName(
        QString::fromUtf8(pennial::applicationId.data(), qsizetype(pennial::applicationId.size())));
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Two instances would both transform every trigger: a second launch only brings the first
    // one's window forward.
    const QString runtimeDirectory = pennial::SingleInstance::userRuntimeDirectory();
    pennial::SingleInstance instance(runtimeDirectory);
    switch (instance.claim()) {
    case pennial::SingleInstance::Claim::Ours:
        break;
    case pennial::SingleInstance::Claim::Taken:
        if (instance.askRunningInstanceToShow()) {
            pennial::logLine(
                "🪟 [Pennial] Already running: the running instance shows its window");
            return 0;
        }
        pennial::logLine("❌ [Pennial] Another instance holds the lock but does not answer");
        return 1;
    case pennial::SingleInstance::Claim::Refused:
        // Without a lock of our own a second instance could not be told apart: refuse rather
        // than run twice.
        pennial::logf("❌ [Pennial] Not started: {}. Set XDG_RUNTIME_DIR to a folder that only "
                      "you can write to",
                      instance.problem().toStdString());
        return 1;
    }
    // A build from before the program's present name holds its lock under the old one.
    {
        const auto legacy = pennial::legacyApplicationId;
        pennial::SingleInstance earlier(runtimeDirectory,
                                        QString::fromUtf8(legacy.data(), qsizetype(legacy.size())));
        if (earlier.claim() == pennial::SingleInstance::Claim::Taken) {
            if (earlier.askRunningInstanceToShow()) {
                pennial::logLine("🪟 [Pennial] Already running: the running instance shows its "
                                 "window");
                return 0;
            }
            pennial::logLine("❌ [Pennial] Another instance holds the lock but does not answer");
            return 1;
        }
    }
    // Before anything reads its files, and only by the one instance.
    pennial::moveLegacyFolders();

    pennial::QtExecutionContext main;
    int status = 0;
    {
        // exit, not quit: quit asks every window to close first, and the onboarding window
        // refuses.
        pennial::PennialApp pennial(main, [] { QApplication::exit(0); });
        instance.onShowRequested = [&pennial] { pennial.showMainWindow(); };
        // A logout's SIGTERM, a terminal's SIGINT or SIGHUP quit as the tray's Quit item does.
        pennial::QuitSignals quitSignals([] { QApplication::exit(0); });
        status = QApplication::exec();
        instance.onShowRequested = nullptr;
        // Tasks end before the services they use, the services before the pool and the Qt
        // context they run on.
        pennial.shutdown();
    }
    // Work still queued here or on the pools may hold the other's executor: each is dropped while
    // the other still exists.
    pennial::stopSharedPool();
    main.close();
    pennial::releaseSharedPool();
    // Returning lets the application object end, and with it the X clipboard, which hands what
    // we still own on the clipboard to the desktop's clipboard manager where one runs: no path
    // out of here may skip it.
    return status;
}
