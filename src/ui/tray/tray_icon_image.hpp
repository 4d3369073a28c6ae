#pragma once
// The tray item's image: the application's icon at the tray's height, with an orange dot in its
// top-right corner once an update has been found. GUI thread.

#include <QColor>
#include <QImage>
#include <QString>

namespace pennial {

inline constexpr int trayIconHeight = 18;

// The icon resource at iconPath scaled to trayIconHeight, its width keeping the aspect ratio; a
// drawn text cursor of that height when there is no such resource.
QImage menuBarIconImage(const QString& iconPath = QStringLiteral(":/icons/icon.svg"));

// A copy of the image with a 5 x 5 orange dot in its top-right corner.
QImage addBadgeDot(const QImage& image);

// The image's shape in one colour, its alpha kept: the icon is a template, drawn in whatever
// colour reads on the tray.
QImage tintedImage(const QImage& image, const QColor& colour);

// What the tray shows: the icon in colour, with the dot when an update is available.
QImage trayImage(bool updateAvailable, const QColor& colour = Qt::white,
                 const QString& iconPath = QStringLiteral(":/icons/icon.svg"));

} // namespace pennial
