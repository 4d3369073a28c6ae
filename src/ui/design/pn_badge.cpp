#include "ui/design/pn_badge.hpp"

#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace pennial {

PNBadge::PNBadge(const QString& text, const QColor& foreground, const QColor& background,
                 QWidget* parent)
    : QWidget(parent), text_(text), foreground_(foreground), background_(background) {
    setFont(PNTypography::caption());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize PNBadge::sizeHint() const {
    const QFontMetricsF metrics(font());
    return QSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(text_) + 2 * PNSpacing::sm)),
                 static_cast<int>(std::ceil(metrics.height() + 2 * PNSpacing::xxs)));
}

void PNBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const qreal radius = bounds.height() / 2;
    QPainterPath capsule;
    capsule.addRoundedRect(bounds, radius, radius);
    painter.fillPath(capsule, background_);
    painter.setClipPath(capsule);
    painter.setPen(foreground_);
    painter.drawText(bounds, Qt::AlignCenter, text_);
}

} // namespace pennial
