#include "windows/onboarding/onboarding_symbol.hpp"

#include <QPainter>
#include <QPainterPath>

namespace pennial {

namespace {

// Each glyph is drawn in a unit square (0..1 both ways); strokes are given relative to it.
constexpr qreal strokeWidth = 0.09;

void drawBolt(QPainter& painter) {
    QPainterPath bolt;
    bolt.moveTo(0.58, 0.02);
    bolt.lineTo(0.16, 0.58);
    bolt.lineTo(0.46, 0.58);
    bolt.lineTo(0.38, 0.98);
    bolt.lineTo(0.84, 0.40);
    bolt.lineTo(0.54, 0.40);
    bolt.closeSubpath();
    painter.fillPath(bolt, painter.pen().color());
}

void drawSliders(QPainter& painter) {
    const qreal rows[] = {0.2, 0.5, 0.8};
    const qreal knobs[] = {0.68, 0.3, 0.55};
    for (int i = 0; i < 3; ++i) {
        painter.drawLine(QPointF(0.05, rows[i]), QPointF(0.95, rows[i]));
        painter.setBrush(painter.pen().color());
        painter.drawEllipse(QPointF(knobs[i], rows[i]), 0.1, 0.1);
    }
}

void drawTopPanel(QPainter& painter) {
    painter.drawRoundedRect(QRectF(0.05, 0.12, 0.9, 0.76), 0.1, 0.1);
    painter.drawLine(QPointF(0.05, 0.3), QPointF(0.95, 0.3));
    // An arrow pointing up at the panel along the screen's top.
    painter.drawLine(QPointF(0.5, 0.78), QPointF(0.5, 0.42));
    painter.drawLine(QPointF(0.36, 0.56), QPointF(0.5, 0.42));
    painter.drawLine(QPointF(0.64, 0.56), QPointF(0.5, 0.42));
}

void drawPerson(QPainter& painter) {
    painter.drawEllipse(QPointF(0.5, 0.5), 0.45, 0.45);
    painter.drawEllipse(QPointF(0.5, 0.4), 0.15, 0.15);
    QPainterPath shoulders;
    shoulders.moveTo(0.22, 0.82);
    shoulders.cubicTo(0.3, 0.6, 0.7, 0.6, 0.78, 0.82);
    painter.drawPath(shoulders);
}

void drawKeyboard(QPainter& painter) {
    painter.drawRoundedRect(QRectF(0.03, 0.2, 0.94, 0.6), 0.1, 0.1);
    painter.setBrush(painter.pen().color());
    for (int row = 0; row < 2; ++row)
        for (int key = 0; key < 5; ++key)
            painter.drawRect(QRectF(0.16 + key * 0.15, 0.32 + row * 0.15, 0.05, 0.04));
    painter.drawRect(QRectF(0.3, 0.64, 0.4, 0.04));
}

void drawCheckmark(QPainter& painter) {
    // A filled disc with the check cut out of it.
    QPainterPath disc;
    disc.addEllipse(QPointF(0.5, 0.5), 0.48, 0.48);
    QPainterPath check;
    check.moveTo(0.28, 0.52);
    check.lineTo(0.43, 0.67);
    check.lineTo(0.73, 0.35);
    QPainterPathStroker stroker;
    stroker.setWidth(0.1);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    painter.fillPath(disc.subtracted(stroker.createStroke(check)), painter.pen().color());
}

} // namespace

OnboardingSymbol::OnboardingSymbol(Shape shape, qreal glyphSize, const QColor& color, QSize box,
                                   QWidget* parent)
    : QWidget(parent), shape_(shape), glyphSize_(glyphSize), color_(color) {
    setFixedSize(box);
}

void OnboardingSymbol::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal left = (width() - glyphSize_) / 2;
    const qreal top = (height() - glyphSize_) / 2;
    painter.translate(left, top);
    painter.scale(glyphSize_, glyphSize_);
    QPen pen(color_, strokeWidth);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (shape_) {
    case Shape::bolt:
        drawBolt(painter);
        break;
    case Shape::sliders:
        drawSliders(painter);
        break;
    case Shape::topPanel:
        drawTopPanel(painter);
        break;
    case Shape::person:
        drawPerson(painter);
        break;
    case Shape::keyboard:
        drawKeyboard(painter);
        break;
    case Shape::checkmark:
        drawCheckmark(painter);
        break;
    }
}

} // namespace pennial
