#include "ui/design/pn_brand_button_style.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

namespace pennial {

namespace {

QFont buttonFont() {
    return PNTypography::brand(QStringLiteral("Inter"), 13, QFont::Medium);
}

} // namespace

PNBrandButtonStyle::PNBrandButtonStyle() = default;

void PNBrandButtonStyle::apply(QAbstractButton* button) {
    auto* style = new PNBrandButtonStyle();
    style->setParent(button);
    button->setStyle(style);
    button->setFont(buttonFont());
}

qreal PNBrandButtonStyle::opacity(bool isEnabled, bool isPressed) {
    if (isPressed)
        return 0.8;
    return isEnabled ? 1.0 : 0.35;
}

void PNBrandButtonStyle::drawControl(ControlElement element, const QStyleOption* option,
                                     QPainter* painter, const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButton || !button) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const bool isEnabled = option->state.testFlag(State_Enabled);
    const bool isPressed = option->state.testFlag(State_Sunken);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setOpacity(opacity(isEnabled, isPressed));
    QPainterPath background;
    background.addRoundedRect(QRectF(option->rect), PNRadius::small, PNRadius::small);
    painter->fillPath(background, PNColor::brand());
    painter->setPen(Qt::black);
    painter->setFont(widget ? widget->font() : buttonFont());
    painter->drawText(option->rect, Qt::AlignCenter | Qt::TextShowMnemonic, button->text);
    painter->restore();
}

QSize PNBrandButtonStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                           const QSize& contentsSize, const QWidget* widget) const {
    if (type != CT_PushButton)
        return QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
    return contentsSize +
           QSize(static_cast<int>(2 * PNSpacing::lg), static_cast<int>(2 * PNSpacing::sm));
}

} // namespace pennial
