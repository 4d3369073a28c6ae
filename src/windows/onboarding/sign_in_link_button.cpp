#include "windows/onboarding/sign_in_link_button.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_typography.hpp"

#include <QPainter>

namespace pennial {

namespace {

constexpr qreal disabledOpacity = 0.5;

} // namespace

SignInLinkButton::SignInLinkButton(const QString& title, QColor color, bool underlined,
                                   QWidget* parent)
    : QAbstractButton(parent), color_(color) {
    setText(title);
    QFont font = PNTypography::bodyBrand();
    font.setUnderline(underlined);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SignInLinkButton::sizeHint() const {
    return fontMetrics().size(Qt::TextSingleLine, text());
}

void SignInLinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(isEnabled() ? color_ : PNColor::withOpacity(color_, disabledOpacity));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace pennial
