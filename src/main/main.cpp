// The tray application's entry.

#include "base/log.hpp"
#include "base/runtime.hpp"
#include "main/pennial_app.hpp"
#include "platform/linux/qt/qt_executor.hpp"
#include "platform/linux/session/single_instance.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    // Our panels place themselves on the screen, which Wayland does not allow: in a Wayland
    // session they go through Xwayland, and other applications are read over the accessibility
    // bus as on X11.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName("Pennial");
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Two instances would both transform every trigger: a second launch only brings the first
    // one's window forward.
    pennial::SingleInstance instance(pennial::SingleInstance::userRuntimeDirectory());
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
        return 2;
    }

    pennial::QtExecutionContext main;
    int status = 0;
    {
        // exit, not quit: quit asks every window to close first, and the onboarding window
        // refuses.
        pennial::PennialApp pennial(main, [] { QApplication::exit(0); });
        instance.onShowRequested = [&pennial] { pennial.showMainWindow(); };
        status = QApplication::exec();
        instance.onShowRequested = nullptr;
        // Tasks end before the services they use, the services before the pool and the Qt
        // context they run on.
        pennial.shutdown();
    }
    pennial::shutdownSharedPool();
    return status;
}
