#pragma once
// The brand button: a label in Inter 13 medium, black, on the brand colour in a small rounded
// rectangle; dimmed while pressed and more so while disabled.

#include <QProxyStyle>

class QAbstractButton;

namespace pennial {

class PNBrandButtonStyle : public QProxyStyle {
public:
    PNBrandButtonStyle();

    // Gives `button` this style (owned by the button) and the style's font; use this rather than
    // QWidget::setStyle.
    static void apply(QAbstractButton* button);

    // The button's opacity for its state.
    static qreal opacity(bool isEnabled, bool isPressed);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                           const QWidget* widget = nullptr) const override;
};

} // namespace pennial
