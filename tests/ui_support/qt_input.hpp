#pragma once
// Mouse input for view tests, delivered as the window system delivers it.

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace pennial::testing {

// A full click at a point of the widget (its middle unless given).
inline void clickAt(QWidget* widget, QPointF point, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF global = widget->mapToGlobal(point);
    QMouseEvent press(QEvent::MouseButtonPress, point, global, button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, point, global, button, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

inline void clickWidget(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
    clickAt(widget, QRectF(widget->rect()).center(), button);
}

} // namespace pennial::testing
