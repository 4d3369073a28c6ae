#pragma once
// Screenshots of the media views, saved beside the test program (media_screenshots/) for review.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QWidget>

namespace pennial::testing {

inline void saveImage(const QImage& image, const QString& name) {
    const QString folder = QCoreApplication::applicationDirPath() + "/media_screenshots";
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
}

inline QImage saveScreenshot(QWidget& widget, const QString& name) {
    QImage image = widget.grab().toImage();
    saveImage(image, name);
    return image;
}

} // namespace pennial::testing
