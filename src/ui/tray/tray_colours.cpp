#include "ui/tray/tray_colours.hpp"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <map>

namespace pennial {

namespace {

// Relative luminance of the sRGB colour (0 black, 1 white).
double luminance(const QColor& colour) {
    return 0.2126 * colour.redF() + 0.7152 * colour.greenF() + 0.0722 * colour.blueF();
}

} // namespace

QColor trayForegroundFor(const QColor& background) {
    // Symbolic icons' own pair: near-white on dark, near-black on light.
    return luminance(background) > 0.5 ? QColor(0x2e, 0x34, 0x36) : QColor(Qt::white);
}

std::optional<QColor> trayBackgroundAround(QScreen* screen, const QRect& iconGeometry) {
    if (!screen || !iconGeometry.isValid())
        return std::nullopt;
    // The slot's corners are the tray's: the icon is drawn in its middle.
    const QRect local = iconGeometry.translated(-screen->geometry().topLeft());
    const QImage image = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (image.isNull() || image.width() < 2 || image.height() < 2)
        return std::nullopt;
    std::map<QRgb, int> counts;
    for (int x = 0; x < image.width(); ++x) {
        ++counts[image.pixel(x, 0)];
        ++counts[image.pixel(x, image.height() - 1)];
    }
    for (int y = 1; y + 1 < image.height(); ++y) {
        ++counts[image.pixel(0, y)];
        ++counts[image.pixel(image.width() - 1, y)];
    }
    const auto mostCommon =
        std::max_element(counts.begin(), counts.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    return QColor(mostCommon->first);
}

QColor desktopSchemeBackground() {
    return QGuiApplication::palette().color(QPalette::Window);
}

} // namespace pennial
