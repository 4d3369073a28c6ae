#pragma once
// The few small glyphs the onboarding screens set beside their texts, drawn as vector shapes in
// one colour: a bolt, sliders, a bar with an arrow, a person, a keyboard and a check mark.

#include <QColor>
#include <QWidget>

namespace pennial {

class OnboardingSymbol : public QWidget {
public:
    enum class Shape { bolt, sliders, topPanel, person, keyboard, checkmark };

    // The glyph is drawn `glyphSize` pixels high, centred in the widget's fixed `box`.
    OnboardingSymbol(Shape shape, qreal glyphSize, const QColor& color, QSize box,
                     QWidget* parent = nullptr);

    Shape shape() const { return shape_; }
    const QColor& color() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape shape_;
    qreal glyphSize_;
    QColor color_;
};

} // namespace pennial
