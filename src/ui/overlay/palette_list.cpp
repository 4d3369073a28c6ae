#include "ui/overlay/palette_list.hpp"

#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_scroll_indicator.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "ui/overlay/overlay_placement.hpp"

#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>

namespace pennial {

namespace {

constexpr std::chrono::milliseconds scrollDuration{150};

} // namespace

PaletteList::PaletteList(PaletteRow::SelectHandler onSelect, QWidget* parent)
    : QScrollArea(parent), onSelect_(std::move(onSelect)), content_(new QWidget) {
    setObjectName("PaletteList");
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    // The card shows through; the indicator is a thin bar without arrows.
    for (QWidget* surface : {static_cast<QWidget*>(this), viewport(), content_}) {
        QPalette palette = surface->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Window, Qt::transparent);
        surface->setPalette(palette);
        surface->setAutoFillBackground(false);
    }
    PNScrollIndicator::apply(*this);
    auto* layout = new QVBoxLayout(content_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignTop);
    setWidget(content_);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    setRows({}, {});
}

int PaletteList::listHeight() const {
    const auto visible =
        std::clamp<int>(static_cast<int>(rows_.size()), 1, PaletteMetrics::maxVisibleRows);
    return static_cast<int>(PaletteMetrics::paletteRowHeight) * visible;
}

void PaletteList::setRows(const std::vector<TemplateSuggestion>& suggestions,
                          const QString& query) {
    if (scrolling_)
        scrolling_->stop();
    auto* layout = content_->layout();
    for (PaletteRow* row : rows_)
        delete row;
    rows_.clear();
    delete noMatches_;
    noMatches_ = nullptr;

    if (suggestions.empty()) {
        noMatches_ = new QLabel(QStringLiteral("No matches"), content_);
        noMatches_->setObjectName("NoMatches");
        noMatches_->setFont(PNTypography::label());
        QPalette palette = noMatches_->palette();
        palette.setColor(QPalette::WindowText, PNColor::textSecondary());
        noMatches_->setPalette(palette);
        const int inset = static_cast<int>(PNSpacing::xs);
        noMatches_->setContentsMargins(inset, inset, inset, inset);
        noMatches_->setAlignment(Qt::AlignLeading | Qt::AlignVCenter);
        noMatches_->setFixedHeight(static_cast<int>(PaletteMetrics::paletteRowHeight));
        layout->addWidget(noMatches_);
    }
    for (const TemplateSuggestion& suggestion : suggestions) {
        auto* row = new PaletteRow(suggestion, query, onSelect_, content_);
        layout->addWidget(row);
        rows_.push_back(row);
    }
    // The indicator only for a list longer than the rows it shows.
    setVerticalScrollBarPolicy(rows_.size() > PaletteMetrics::maxVisibleRows
                                   ? Qt::ScrollBarAsNeeded
                                   : Qt::ScrollBarAlwaysOff);
    setMaximumHeight(listHeight());
    setMinimumHeight(0);
    if (selectedIndex_ >= 0 && selectedIndex_ < static_cast<int>(rows_.size()))
        rows_[static_cast<std::size_t>(selectedIndex_)]->setSelected(true);
}

void PaletteList::setQuery(const QString& query) {
    for (PaletteRow* row : rows_)
        row->setQuery(query);
}

void PaletteList::setSelectedIndex(int index, bool scroll) {
    selectedIndex_ = index;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i]->setSelected(static_cast<int>(i) == index);
    if (scroll && index >= 0 && index < static_cast<int>(rows_.size()))
        scrollToCentre(index);
}

void PaletteList::scrollToCentre(int index) {
    // Rows have one pitch, so the row's place needs no layout pass.
    const int rowHeight = static_cast<int>(PaletteMetrics::paletteRowHeight);
    const int rowsHeight = rowHeight * static_cast<int>(rows_.size());
    const int visible = std::min(listHeight(), height() > 0 ? height() : listHeight());
    const int range = std::max(0, rowsHeight - visible);
    const int target = std::clamp(index * rowHeight + rowHeight / 2 - visible / 2, 0, range);

    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(bar->maximum(), range));
    if (scrolling_)
        scrolling_->stop();
    const auto duration = PNAnimations::duration(scrollDuration);
    if (duration.count() == 0) {
        bar->setValue(target);
        return;
    }
    if (!scrolling_) {
        scrolling_ = new QVariantAnimation(this);
        scrolling_->setEasingCurve(QEasingCurve::InOutQuad);
        connect(scrolling_, &QVariantAnimation::valueChanged,
                [this](const QVariant& value) { verticalScrollBar()->setValue(value.toInt()); });
    }
    scrolling_->setDuration(static_cast<int>(duration.count()));
    scrolling_->setStartValue(bar->value());
    scrolling_->setEndValue(target);
    scrolling_->start();
}

} // namespace pennial
