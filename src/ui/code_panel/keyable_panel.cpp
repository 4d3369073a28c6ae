#include "ui/code_panel/keyable_panel.hpp"

#include <QEvent>
#include <QWindow>

namespace pennial {

KeyablePanel::KeyablePanel()
    // Out of the window manager's hands: it may cover the top bar, stays put and shows on every
    // workspace. Unlike the overlay it accepts the focus, when asked for it.
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::NoDropShadowWindowHint | Qt::X11BypassWindowManagerHint) {
    setObjectName("NotchPasscodePanel");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
}

void KeyablePanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Every press in the panel passes through its window first, whichever widget it lands on.
    if (!watchingPresses_ && windowHandle()) {
        windowHandle()->installEventFilter(this);
        watchingPresses_ = true;
    }
}

bool KeyablePanel::eventFilter(QObject* watched, QEvent* event) {
    // No window manager hands a bypassing window the focus: it takes it on a click itself.
    if (event->type() == QEvent::MouseButtonPress && !isActiveWindow())
        activateWindow();
    return QWidget::eventFilter(watched, event);
}

} // namespace pennial
