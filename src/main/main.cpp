// The tray application's entry.

#include "main/pennial_app.hpp"
#include "platform/linux/qt_executor.hpp"

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
    pennial::QtExecutionContext main;
    pennial::PennialApp pennial(main, [] { QApplication::quit(); });
    return QApplication::exec();
}
