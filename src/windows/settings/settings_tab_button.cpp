#include "windows/settings/settings_tab_button.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QPainter>

namespace pennial {

namespace {

constexpr int markHeight = 2;
// The mark hangs this far below the title's box, down to the tab bar's lower edge; the button
// reaches that far so that it can draw it.
constexpr int markDrop = static_cast<int>(PNSpacing::sm);

} // namespace

SettingsTabButton::SettingsTabButton(const QString& title, QWidget* parent)
    : QAbstractButton(parent) {
    setText(title);
    setAccessibleName(title);
    setFont(PNTypography::bodySemibold());
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SettingsTabButton::setSelected(bool selected) {
    setChecked(selected);
    update();
}

QColor SettingsTabButton::titleColor() const {
    return isSelected() ? PNColor::textPrimary() : PNColor::textSecondary();
}

QSize SettingsTabButton::labelSize() const {
    return {fontMetrics().horizontalAdvance(text()) + 2 * static_cast<int>(PNSpacing::sm),
            fontMetrics().height() + 2 * static_cast<int>(PNSpacing::xs)};
}

QRect SettingsTabButton::selectionMark() const {
    if (!isSelected())
        return {};
    const QSize label = labelSize();
    return {0, label.height() + markDrop - markHeight, label.width(), markHeight};
}

QSize SettingsTabButton::sizeHint() const {
    return labelSize() + QSize(0, markDrop);
}

void SettingsTabButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QSize label = labelSize();
    painter.setFont(font());
    painter.setPen(titleColor());
    painter.drawText(QRect(QPoint(0, 0), label), Qt::AlignCenter, text());
    if (const QRect mark = selectionMark(); !mark.isEmpty())
        painter.fillRect(mark, PNColor::accent());
}

} // namespace pennial
