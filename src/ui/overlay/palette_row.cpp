#include "ui/overlay/palette_row.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace pennial {

namespace {

struct Run {
    QString text;
    const QFont& font;
};

} // namespace

PaletteRow::PaletteRow(TemplateSuggestion suggestion, const QString& query, SelectHandler onSelect,
                       QWidget* parent)
    : QAbstractButton(parent), suggestion_(std::move(suggestion)),
      label_(highlightedTemplateLabel(QString::fromStdString(suggestion_.displayName), query)) {
    setObjectName(QString::fromStdString(suggestion_.name));
    setFocusPolicy(Qt::NoFocus);
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, [this, onSelect = std::move(onSelect)] {
        if (!suggestion_.isDisabled && onSelect)
            onSelect(suggestion_.name);
    });
}

void PaletteRow::setSelected(bool selected) {
    if (isSelected_ == selected)
        return;
    isSelected_ = selected;
    update();
}

void PaletteRow::setQuery(const QString& query) {
    HighlightedLabel label =
        highlightedTemplateLabel(QString::fromStdString(suggestion_.displayName), query);
    if (label == label_)
        return;
    label_ = std::move(label);
    update();
}

QSize PaletteRow::sizeHint() const {
    return {0, height};
}

void PaletteRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (showsSelection()) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), PNRadius::small, PNRadius::small);
        painter.fillPath(background, PNColor::rowBackgroundSelected());
    }

    painter.setOpacity(labelOpacity());
    painter.setPen(PNColor::textPrimary());
    const QRectF area =
        QRectF(rect()).adjusted(PNSpacing::xs, PNSpacing::xs, -PNSpacing::xs, -PNSpacing::xs);
    const Run runs[] = {{label_.before, PNTypography::labelRegular()},
                        {label_.match, PNTypography::labelBold()},
                        {label_.after, PNTypography::labelRegular()}};
    // One line, cut at the tail: the runs are laid side by side and the one that reaches the
    // edge is elided.
    const double baseline =
        area.center().y() + (QFontMetricsF(PNTypography::labelRegular()).ascent() -
                             QFontMetricsF(PNTypography::labelRegular()).descent()) /
                                2;
    double x = area.left();
    for (const Run& run : runs) {
        if (run.text.isEmpty())
            continue;
        const QFontMetricsF metrics(run.font);
        const double room = area.right() - x;
        if (room <= 0)
            break;
        const QString shown = metrics.elidedText(run.text, Qt::ElideRight, room);
        painter.setFont(run.font);
        painter.drawText(QPointF(x, baseline), shown);
        if (shown != run.text)
            break;
        x += metrics.horizontalAdvance(run.text);
    }
}

} // namespace pennial
