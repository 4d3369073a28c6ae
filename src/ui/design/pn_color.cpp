#include "ui/design/pn_color.hpp"

#include <QGuiApplication>
#include <QPalette>

namespace pennial {

namespace {

// The dark scheme's label colours and named colours.
const QColor primaryLabel = QColor::fromRgbF(1, 1, 1, 0.85f);
const QColor secondaryLabel = QColor::fromRgbF(1, 1, 1, 0.55f);
const QColor red = QColor(255, 69, 58);
const QColor green = QColor(50, 215, 75);

} // namespace

QColor PNColor::withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QColor PNColor::textPrimary() {
    return primaryLabel;
}
QColor PNColor::textSecondary() {
    return secondaryLabel;
}
QColor PNColor::textTertiary() {
    return withOpacity(primaryLabel, 0.4);
}

QColor PNColor::accent() {
    // The desktop's highlight colour stands for the application's accent; read once.
    static const QColor colour =
        QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return colour;
}

QColor PNColor::error() {
    return red;
}
QColor PNColor::success() {
    return green;
}
QColor PNColor::cardBorder() {
    return withOpacity(Qt::black, 0.2);
}
QColor PNColor::cardInnerBorder() {
    return withOpacity(Qt::white, 0.32);
}
QColor PNColor::rowBackground() {
    return withOpacity(primaryLabel, 0.04);
}
QColor PNColor::rowBackgroundSelected() {
    return withOpacity(primaryLabel, 0.12);
}
QColor PNColor::badgeBackground() {
    return withOpacity(red, 0.12);
}
QColor PNColor::brand() {
    return QColor(0, 218, 147);
}
QColor PNColor::brandGradientStart() {
    return QColor(96, 178, 151);
}
QColor PNColor::brandGradientEnd() {
    return QColor(205, 253, 237);
}
QColor PNColor::onboardingBg() {
    return Qt::black;
}

QLinearGradient PNColor::brandGradient(const QRectF& rect) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, brandGradientStart());
    gradient.setColorAt(1, brandGradientEnd());
    return gradient;
}

QString PNColor::styleSheetColor(const QColor& color) {
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF());
}

} // namespace pennial
