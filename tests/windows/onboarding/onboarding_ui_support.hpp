#pragma once
// Presses, waits and screenshots for the onboarding views.

#include "ui_support/qt_input.hpp"
#include "ui_support/qt_wait.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QWidget>
#include <chrono>

namespace pennial::testing {

inline void click(QWidget* widget) {
    clickWidget(widget);
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
