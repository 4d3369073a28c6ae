#include "windows/settings/settings_button.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QPainter>

namespace pennial {

namespace {

constexpr int controlHeight = 24; // a regular-size push button
constexpr qreal pressedOpacity = 0.7;

} // namespace

SettingsButton::SettingsButton(const QString& title, Kind kind, QWidget* parent)
    : QAbstractButton(parent), kind_(kind) {
    setText(title);
    setAccessibleName(title);
    setFont(PNTypography::bodySemibold());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SettingsButton::sizeHint() const {
    const int width = fontMetrics().horizontalAdvance(text()) + 2 * static_cast<int>(PNSpacing::md);
    return {width, controlHeight};
}

void SettingsButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(pressedOpacity);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (kind_ == Kind::prominent) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(PNColor::accent());
    } else {
        painter.setPen(PNColor::withOpacity(PNColor::textPrimary(), 0.2));
        painter.setBrush(PNColor::withOpacity(PNColor::textPrimary(), 0.08));
    }
    painter.drawRoundedRect(frame, PNRadius::small, PNRadius::small);
    if (hasFocus()) {
        // On the accent fill an accent ring would not show.
        painter.setPen(kind_ == Kind::prominent ? PNColor::textPrimary() : PNColor::accent());
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame, PNRadius::small, PNRadius::small);
    }
    painter.setPen(kind_ == Kind::prominent ? QColor(Qt::white) : PNColor::textPrimary());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace pennial
