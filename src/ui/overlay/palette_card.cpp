#include "ui/overlay/palette_card.hpp"

#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_card_modifier.hpp"
#include "ui/design/pn_radius.hpp"

#include <QPainter>
#include <QPropertyAnimation>
#include <chrono>

namespace pennial {

namespace {

QPainterPath roundedRect(const QRectF& rect, qreal topLeft, qreal topRight, qreal bottomRight,
                         qreal bottomLeft) {
    QPainterPath path;
    path.moveTo(rect.left() + topLeft, rect.top());
    path.lineTo(rect.right() - topRight, rect.top());
    path.arcTo(rect.right() - 2 * topRight, rect.top(), 2 * topRight, 2 * topRight, 90, -90);
    path.lineTo(rect.right(), rect.bottom() - bottomRight);
    path.arcTo(rect.right() - 2 * bottomRight, rect.bottom() - 2 * bottomRight, 2 * bottomRight,
               2 * bottomRight, 0, -90);
    path.lineTo(rect.left() + bottomLeft, rect.bottom());
    path.arcTo(rect.left(), rect.bottom() - 2 * bottomLeft, 2 * bottomLeft, 2 * bottomLeft, 270,
               -90);
    path.lineTo(rect.left(), rect.top() + topLeft);
    path.arcTo(rect.left(), rect.top(), 2 * topLeft, 2 * topLeft, 180, -90);
    path.closeSubpath();
    return path;
}

} // namespace

QPainterPath PaletteCardShape::outline(const QRectF& rect) const {
    const qreal r = PNRadius::medium;
    if (isNotchDocked)
        return roundedRect(rect, 0, 0, r, r);
    if (isBottomDocked)
        return roundedRect(rect, r, r, 0, 0);
    return roundedRect(rect, r, r, r, r);
}

void PaletteCardShape::paint(QPainter& painter, const QRectF& rect) const {
    painter.setRenderHint(QPainter::Antialiasing);
    if (isBlack()) {
        painter.fillPath(outline(rect), Qt::black);
        return;
    }
    // The content keeps clear of the edges, so the borders may be drawn before it.
    PNCardModifier::paintBackground(painter, rect, PNRadius::medium);
    PNCardModifier::paintBorders(painter, rect, PNRadius::medium);
}

PaletteCard::PaletteCard(QWidget* parent) : QWidget(parent) {
    setObjectName("PaletteCard");
}

void PaletteCard::setShape(PaletteCardShape shape) {
    if (shape.isNotchDocked == shape_.isNotchDocked &&
        shape.isBottomDocked == shape_.isBottomDocked)
        return;
    shape_ = shape;
    update();
}

void PaletteCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    shape_.paint(painter, QRectF(rect()));
}

void slideCard(QWidget& card, QPropertyAnimation& sliding, QPoint target, bool animated) {
    constexpr std::chrono::milliseconds slideDuration{350};
    const auto duration = PNAnimations::duration(slideDuration);
    if (animated && duration.count() > 0) {
        sliding.stop();
        sliding.setDuration(static_cast<int>(duration.count()));
        sliding.setStartValue(card.pos());
        sliding.setEndValue(target);
        sliding.start();
        return;
    }
    if (sliding.state() == QAbstractAnimation::Running) {
        sliding.setEndValue(target);
        return;
    }
    card.move(target);
}

} // namespace pennial
