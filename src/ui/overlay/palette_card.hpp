#pragma once
// The palette card's shape for its docking edge: black with square top corners under the notch,
// black with a square bottom at the bottom edge, a glass card with four round corners elsewhere.
// It hosts the logo, the status row and the list, one above the other.

#include <QPainterPath>
#include <QPoint>
#include <QWidget>

class QPropertyAnimation;

namespace pennial {

struct PaletteCardShape {
    bool isNotchDocked = false;
    bool isBottomDocked = false;

    // The notch wins when both flags are set.
    bool isBlack() const { return isNotchDocked || isBottomDocked; }
    QPainterPath outline(const QRectF& rect) const;
    void paint(QPainter& painter, const QRectF& rect) const;
};

class PaletteCard : public QWidget {
public:
    explicit PaletteCard(QWidget* parent);

    const PaletteCardShape& shape() const { return shape_; }
    void setShape(PaletteCardShape shape);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PaletteCardShape shape_;
};

// Moves a panel's card to target: over the 0.35 s slide when animated (and animations are on),
// else at once — a slide still running is only re-aimed, so it ends where the card now belongs.
// sliding animates the card's position.
void slideCard(QWidget& card, QPropertyAnimation& sliding, QPoint target, bool animated);

} // namespace pennial
