#pragma once
// The palette card's shape for its docking edge: black with square top corners under the notch,
// black with a square bottom at the bottom edge, a glass card with four round corners elsewhere.
// It hosts the logo, the status row and the list, one above the other.

#include <QPainterPath>
#include <QWidget>

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

} // namespace pennial
