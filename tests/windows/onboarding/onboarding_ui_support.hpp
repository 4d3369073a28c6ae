#pragma once
// Presses, waits and screenshots for the onboarding views.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QWidget>
#include <chrono>

namespace pennial::testing {

// A full click in the middle of the widget, as the mouse delivers it.
inline void click(QWidget* widget) {
    const QPointF centre = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// Deletes what the views handed over for deletion on a later turn.
inline void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <class Condition>
bool processEventsUntil(Condition condition,
                        std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        runDeferredDeletes();
        QThread::msleep(1);
    }
    return true;
}

// Saves what the widget shows beside the test program (onboarding_screenshots/), for review.
inline QImage saveScreenshot(QWidget* widget, const QString& name) {
    const QDir dir(QCoreApplication::applicationDirPath() +
                   QStringLiteral("/onboarding_screenshots"));
    dir.mkpath(QStringLiteral("."));
    QImage image = widget->grab().toImage();
    image.save(dir.filePath(name + QStringLiteral(".png")));
    return image;
}

} // namespace pennial::testing
