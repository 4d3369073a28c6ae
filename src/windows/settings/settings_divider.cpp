#include "windows/settings/settings_divider.hpp"

#include "ui/design/pn_color.hpp"

#include <QPalette>
#include <QWidget>

namespace pennial {

namespace {

constexpr qreal dividerOpacity = 0.12;

} // namespace

QWidget* makeSettingsDivider(QWidget* parent) {
    auto* divider = new QWidget(parent);
    divider->setObjectName(QStringLiteral("SettingsDivider"));
    divider->setFixedHeight(1);
    divider->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    divider->setAutoFillBackground(true);
    QPalette palette = divider->palette();
    palette.setColor(QPalette::Window,
                     PNColor::withOpacity(PNColor::textPrimary(), dividerOpacity));
    divider->setPalette(palette);
    return divider;
}

} // namespace pennial
