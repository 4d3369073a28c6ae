#include "ui/cards/card_window_button.hpp"

#include "ui/design/pn_color.hpp"

#include <QCoreApplication>
#include <QPainter>

namespace pennial {

CardWindowButton::CardWindowButton(CardWindowButtonKind kind, QWidget* parent)
    : QAbstractButton(parent), kind_(kind) {
    setFixedSize(diameter, diameter);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    // Repaints on entering and leaving, to brighten and dim the symbol.
    setAttribute(Qt::WA_Hover);
    switch (kind) {
    case CardWindowButtonKind::close:
        setObjectName("CardWindowCloseButton");
        describe(QCoreApplication::translate("CardWindowButton", "Close"));
        break;
    case CardWindowButtonKind::minimize:
        setObjectName("CardWindowMinimizeButton");
        describe(QCoreApplication::translate("CardWindowButton", "Minimize"));
        break;
    case CardWindowButtonKind::zoom:
        setObjectName("CardWindowZoomButton");
        setRestores(false);
        break;
    }
}

void CardWindowButton::setRestores(bool restores) {
    if (kind_ == CardWindowButtonKind::zoom)
        describe(restores ? QCoreApplication::translate("CardWindowButton", "Restore")
                          : QCoreApplication::translate("CardWindowButton", "Maximize"));
}

void CardWindowButton::describe(const QString& action) {
    setAccessibleName(action);
    setToolTip(action);
}

void CardWindowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor white = PNColor::textPrimary();
    const bool hovered = isEnabled() && underMouse();
    const qreal discOpacity = !isEnabled() ? 0.06 : (isDown() ? 0.4 : hovered ? 0.28 : 0.16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(PNColor::withOpacity(white, discOpacity));
    const QRectF disc = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawEllipse(disc);

    // The symbol is always there, so the three discs never look alike; the pointer brings it
    // out.
    const qreal symbolOpacity = !isEnabled() ? 0.2 : (hovered || isDown() ? 0.9 : 0.5);
    QPen pen(PNColor::withOpacity(white, symbolOpacity), 1.4, Qt::SolidLine, Qt::RoundCap);
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
