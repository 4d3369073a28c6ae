// The tray application's entry.

#include "base/runtime.hpp"
#include "main/pennial_app.hpp"
#include "platform/linux/qt_executor.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    // Our panels place themselves on the screen, which Wayland does not allow; X11 applications
    // are also the only ones whose text can be read here.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName("Pennial");
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    pennial::QtExecutionContext main;
    int status = 0;
    {
        pennial::PennialApp pennial(main, [] { QApplication::quit(); });
        status = QApplication::exec();
        // Tasks end before the services they use, the services before the pool and the Qt
        // context they run on.
        pennial.shutdown();
    }
    pennial::shutdownSharedPool();
    return status;
}
