#pragma once
// The glass card behind the palette and the code panel: a translucent dark rounded rectangle with
// a dark outer edge and a light inner highlight, the content clipped to its corners.
// Use it as a container widget, or call its painters from a paintEvent of your own.

#include <QPainterPath>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace pennial {

class PNCardModifier : public QWidget {
public:
    explicit PNCardModifier(qreal cornerRadius, QWidget* parent = nullptr);

    qreal cornerRadius() const { return cornerRadius_; }

    // Puts `content` inside the card, filling it; the card owns it. Replaces the previous one.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The card's outline in `rect`.
    static QPainterPath shape(const QRectF& rect, qreal cornerRadius);
    // Behind the content: the material filling the outline.
    static void paintBackground(QPainter& painter, const QRectF& rect, qreal cornerRadius);
    // Over the content: the outer edge, then the inner highlight.
    static void paintBorders(QPainter& painter, const QRectF& rect, qreal cornerRadius);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class BorderLayer;

    qreal cornerRadius_;
    QWidget* content_ = nullptr;
    BorderLayer* borders_;
};

} // namespace pennial
