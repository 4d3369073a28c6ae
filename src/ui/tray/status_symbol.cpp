#include "ui/tray/status_symbol.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pennial {

QImage statusSymbolImage(const std::string& symbol, int size, const QColor& colour) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double stroke = std::max(1.0, size / 10.0);
    const QRectF circle(stroke, stroke, size - 2 * stroke, size - 2 * stroke);
    if (symbol == "checkmark.circle.fill") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(circle);
        // The check is cut out of the disc, so it shows whatever the menu is drawn on.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        QPainterPath check;
        check.moveTo(size * 0.29, size * 0.52);
        check.lineTo(size * 0.44, size * 0.67);
        check.lineTo(size * 0.72, size * 0.37);
        painter.setPen(QPen(Qt::black, stroke * 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(check);
        return image;
    }
    painter.setPen(QPen(colour, stroke));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2));
    return image;
}

QIcon statusSymbolIcon(const std::string& symbol, const QColor& colour) {
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(QPixmap::fromImage(statusSymbolImage(symbol, size, colour)));
    return icon;
}

} // namespace pennial
