#include "ui/design/pn_card_modifier.hpp"

#include "ui/design/pn_color.hpp"

#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

namespace pennial {

namespace {

// Without a compositor's blur, the material needs enough body to keep text legible over
// whatever lies behind the card.
const QColor materialFill = QColor(28, 28, 30, 214);
constexpr qreal outerBorderWidth = 1.0;
constexpr qreal innerBorderWidth = 0.5;
constexpr qreal innerBorderInset = 1.0;

} // namespace

// Paints the borders above the content, letting every click through to it.
class PNCardModifier::BorderLayer : public QWidget {
public:
    explicit BorderLayer(PNCardModifier* card) : QWidget(card), card_(card) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintBorders(painter, QRectF(rect()), card_->cornerRadius());
    }

private:
    PNCardModifier* card_;
};

PNCardModifier::PNCardModifier(qreal cornerRadius, QWidget* parent)
    : QWidget(parent), cornerRadius_(cornerRadius), borders_(new BorderLayer(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void PNCardModifier::setContent(QWidget* content) {
    delete content_;
    content_ = content;
    if (content_) {
        content_->setParent(this);
        content_->setGeometry(rect());
        content_->setMask(shape(QRectF(rect()), cornerRadius_).toFillPolygon().toPolygon());
        content_->show();
    }
    borders_->raise();
}

QSize PNCardModifier::sizeHint() const {
    return content_ ? content_->sizeHint() : QSize();
}

QSize PNCardModifier::minimumSizeHint() const {
    return content_ ? content_->minimumSizeHint() : QSize();
}

QPainterPath PNCardModifier::shape(const QRectF& rect, qreal cornerRadius) {
    QPainterPath path;
    path.addRoundedRect(rect, cornerRadius, cornerRadius);
    return path;
}

void PNCardModifier::paintBackground(QPainter& painter, const QRectF& rect, qreal cornerRadius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape(rect, cornerRadius), materialFill);
    painter.restore();
}

void PNCardModifier::paintBorders(QPainter& painter, const QRectF& rect, qreal cornerRadius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    // Strokes are centred on their path: inset by half a line so each lies inside the card.
    const qreal outerHalf = outerBorderWidth / 2;
    painter.setPen(QPen(PNColor::cardBorder(), outerBorderWidth));
    painter.drawPath(shape(rect.adjusted(outerHalf, outerHalf, -outerHalf, -outerHalf),
                           cornerRadius - outerHalf));
    const qreal innerInset = innerBorderInset + innerBorderWidth / 2;
    painter.setPen(QPen(PNColor::cardInnerBorder(), innerBorderWidth));
    painter.drawPath(shape(rect.adjusted(innerInset, innerInset, -innerInset, -innerInset),
                           cornerRadius - innerInset));
    painter.restore();
}

void PNCardModifier::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBackground(painter, QRectF(rect()), cornerRadius_);
}

void PNCardModifier::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    borders_->setGeometry(rect());
    if (content_) {
        content_->setGeometry(rect());
        content_->setMask(shape(QRectF(rect()), cornerRadius_).toFillPolygon().toPolygon());
    }
}

} // namespace pennial
