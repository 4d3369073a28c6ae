#include "ui/cards/card_window_button.hpp"

#include "ui/design/pn_color.hpp"

#include <QPainter>

namespace pennial {

CardWindowButton::CardWindowButton(CardWindowButtonKind kind, QWidget* parent)
    : QAbstractButton(parent), kind_(kind) {
    setFixedSize(diameter, diameter);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    switch (kind) {
    case CardWindowButtonKind::close:
        setObjectName("CardWindowCloseButton");
        setAccessibleName(QStringLiteral("Close"));
        break;
    case CardWindowButtonKind::minimize:
        setObjectName("CardWindowMinimizeButton");
        setAccessibleName(QStringLiteral("Minimize"));
        break;
    case CardWindowButtonKind::zoom:
        setObjectName("CardWindowZoomButton");
        setAccessibleName(QStringLiteral("Zoom"));
        break;
    }
}

void CardWindowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor white = PNColor::textPrimary();
    const qreal discOpacity = !isEnabled() ? 0.06 : (isDown() ? 0.4 : underMouse() ? 0.28 : 0.16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(PNColor::withOpacity(white, discOpacity));
    const QRectF disc = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawEllipse(disc);
    if (!isEnabled() || !underMouse())
        return;

    QPen pen(PNColor::withOpacity(white, 0.8), 1.4, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    const QPointF c = disc.center();
    const qreal r = diameter * 0.22;
    switch (kind_) {
    case CardWindowButtonKind::close:
        painter.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        painter.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        break;
    case CardWindowButtonKind::minimize:
        painter.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
        break;
    case CardWindowButtonKind::zoom:
        painter.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
        painter.drawLine(c + QPointF(0, -r), c + QPointF(0, r));
        break;
    }
}

} // namespace pennial
