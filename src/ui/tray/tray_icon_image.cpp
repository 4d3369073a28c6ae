#include "ui/tray/tray_icon_image.hpp"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace pennial {

namespace {

constexpr int badgeSize = 5;
const QColor badgeOrange(255, 149, 0); // the system orange of dark surfaces

QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// An I-beam: what a text field's pointer looks like, drawn in white for the dark tray.
QImage textCursorImage() {
    const int height = trayIconHeight;
    const int width = 10;
    QImage image = blank(width, height);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    const double middle = width / 2.0;
    painter.drawLine(QPointF(middle, 2), QPointF(middle, height - 2));
    painter.drawLine(QPointF(1.5, 1.5), QPointF(middle - 1, 2.5));
    painter.drawLine(QPointF(middle + 1, 2.5), QPointF(width - 1.5, 1.5));
    painter.drawLine(QPointF(1.5, height - 1.5), QPointF(middle - 1, height - 2.5));
    painter.drawLine(QPointF(middle + 1, height - 2.5), QPointF(width - 1.5, height - 1.5));
    return image;
}

} // namespace

QImage menuBarIconImage(const QString& iconPath) {
    if (!QFile::exists(iconPath))
        return textCursorImage();
    QSvgRenderer svg(iconPath);
    QImage source;
    if (svg.isValid()) {
        const QSize size = svg.defaultSize();
        if (size.isEmpty())
            return textCursorImage();
        const int width = std::max(1, static_cast<int>(std::lround(double(trayIconHeight) *
                                                                   size.width() / size.height())));
        QImage image = blank(width, trayIconHeight);
        QPainter painter(&image);
        svg.render(&painter);
        return image;
    }
    if (!source.load(iconPath) || source.height() == 0)
        return textCursorImage();
    return source.scaledToHeight(trayIconHeight, Qt::SmoothTransformation);
}

QImage addBadgeDot(const QImage& image) {
    QImage badged = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&badged);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(badgeOrange);
    painter.drawEllipse(QRectF(badged.width() - badgeSize, 0, badgeSize, badgeSize));
    return badged;
}

QImage tintedImage(const QImage& image, const QColor& colour) {
    QImage tinted = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&tinted);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(tinted.rect(), colour);
    return tinted;
}

QImage trayImage(bool updateAvailable, const QColor& colour, const QString& iconPath) {
    auto image = tintedImage(menuBarIconImage(iconPath), colour);
    return updateAvailable ? addBadgeDot(image) : image;
}

} // namespace pennial
