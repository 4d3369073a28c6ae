#pragma once
// Small helpers for the design tests: events, keys and screenshots for review.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>
#include <chrono>
#include <functional>

namespace pennial::test {

// Runs the event loop until `done` holds or `limit` passes; whether it held.
inline bool processEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds limit = std::chrono::seconds(2)) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void pressKey(QWidget* widget, int key, const QString& text = {},
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &release);
}

// Types each character as its own key press.
inline void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text)
        pressKey(widget, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A, QString(c));
}

// The widget drawn on a transparent image, without any window background.
inline QImage renderAlone(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Saves what the widget shows to the build tree, for a person to look at.
inline void saveScreenshot(QWidget* widget, const QString& name) {
    const QDir dir(QCoreApplication::applicationDirPath() +
                   QStringLiteral("/ui_design_screenshots"));
    dir.mkpath(QStringLiteral("."));
    widget->grab().save(dir.filePath(name + QStringLiteral(".png")));
}

} // namespace pennial::test
