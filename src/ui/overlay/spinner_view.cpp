#include "ui/overlay/spinner_view.hpp"

#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "ui/overlay/overlay_placement.hpp"
#include "ui/overlay/palette_card.hpp"
#include "ui/overlay/palette_list.hpp"
#include "ui/overlay/palette_logo.hpp"
#include "ui/overlay/processing_row.hpp"

#include <QLabel>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace pennial {

namespace {

// The card's slide: a lively spring that settles without much bounce.
// A notch-docked card rides this far up, so its content clears the notch and the panel keeps an
// empty strip at its foot.
constexpr int notchLift = 20;

} // namespace

SpinnerView::SpinnerView(SpinnerStatusModel& model, SelectHandler onSuggestionSelected,
                         QWidget* parent)
    : QWidget(parent), model_(model), card_(new PaletteCard(this)),
      cardLayout_(new QVBoxLayout(card_)), logo_(new PaletteLogo(card_)),
      processingRow_(new ProcessingRow(card_)),
      list_(new PaletteList(std::move(onSuggestionSelected), card_)), note_(new QLabel(card_)),
      sliding_(new QPropertyAnimation(card_, "pos", this)), shownRevealed_(model.isRevealed()) {
    setObjectName("SpinnerView");
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    cardLayout_->setSpacing(static_cast<int>(PNSpacing::xs));
    cardLayout_->addWidget(logo_);
    cardLayout_->addWidget(processingRow_);
    cardLayout_->addWidget(list_, 0, Qt::AlignTop);
    note_->setObjectName("PaletteNote");
    note_->setFont(PNTypography::captionSmall());
    note_->setFixedHeight(static_cast<int>(PaletteMetrics::paletteNoteHeight));
    QPalette notePalette = note_->palette();
    notePalette.setColor(QPalette::WindowText, PNColor::textSecondary());
    note_->setPalette(notePalette);
    cardLayout_->addWidget(note_);
    cardLayout_->addStretch(0);
    QEasingCurve spring(QEasingCurve::OutBack);
    spring.setOvershoot(0.6); // a touch past the edge and back, as a well-damped spring does
    sliding_->setEasingCurve(spring);
    modelChanged_ = model_.changed().connect([this] { sync(); });
    sync();
    placeCard(false);
}

int SpinnerView::revealOffset() const {
    if (model_.isRevealed())
        return model_.isNotchDocked() ? -notchLift : 0;
    const int height = static_cast<int>(std::lround(model_.panelHeight()));
    return model_.isBottomDocked() ? height : -height;
}

void SpinnerView::sync() {
    card_->setShape({model_.isNotchDocked(), model_.isBottomDocked()});
    const int side = static_cast<int>(PNSpacing::sm);
    const int inset = static_cast<int>(PNSpacing::xs);
    const int top = model_.isNotchDocked()
                        ? static_cast<int>(std::lround(model_.notchHeight())) + notchLift
                        : inset;
    cardLayout_->setContentsMargins(side, top, side, inset + footExtension());

    const bool processing = model_.isProcessing();
    logo_->setVisible(!processing);
    list_->setVisible(!processing);
    processingRow_->setVisible(processing);
    note_->setVisible(!processing && !model_.note().empty());
    showNote();
    processingRow_->setVerb(QString::fromStdString(model_.verb()));
    cardLayout_->setStretchFactor(processingRow_, processing ? 1 : 0);

    const bool rowsChanged = model_.suggestions() != shownSuggestions_;
    if (rowsChanged) {
        shownSuggestions_ = model_.suggestions();
        shownQuery_ = model_.query();
        list_->setRows(shownSuggestions_, QString::fromStdString(shownQuery_));
    } else if (model_.query() != shownQuery_) {
        shownQuery_ = model_.query();
        list_->setQuery(QString::fromStdString(shownQuery_));
    }
    // Only a moved selection scrolls; a new list under the same index stays where it is.
    if (model_.selectedIndex() != shownSelectedIndex_) {
        const bool scroll = shownSelectedIndex_.has_value(); // not when the view is built
        shownSelectedIndex_ = model_.selectedIndex();
        list_->setSelectedIndex(*shownSelectedIndex_, scroll);
    } else if (rowsChanged) {
        list_->setSelectedIndex(*shownSelectedIndex_, false);
    }

    const bool revealChanged = model_.isRevealed() != shownRevealed_;
    shownRevealed_ = model_.isRevealed();
    placeCard(revealChanged);
}

int SpinnerView::footExtension() const {
    return model_.isBottomDocked() ? static_cast<int>(PaletteMetrics::bottomExtension) : 0;
}

void SpinnerView::placeCard(bool animated) {
    // A bottom-docked card reaches on below the panel, out of sight, with its content kept above.
    card_->resize(width(), height() + footExtension());
    slideCard(*card_, *sliding_, QPoint(0, revealOffset()), animated);
}

void SpinnerView::showNote() {
    // One line, cut short rather than wrapped where the card is narrow.
    const auto note = QString::fromStdString(model_.note());
    const int side = static_cast<int>(PNSpacing::sm);
    note_->setText(QFontMetrics(note_->font())
                       .elidedText(note, Qt::ElideRight, std::max(0, width() - 2 * side)));
    note_->setToolTip(note);
}

void SpinnerView::resizeEvent(QResizeEvent*) {
    showNote();
    placeCard(false);
}

} // namespace pennial
