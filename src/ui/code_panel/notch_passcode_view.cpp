#include "ui/code_panel/notch_passcode_view.hpp"

#include "ui/code_panel/notch_passcode_model.hpp"
#include "ui/code_panel/passcode_verification.hpp"
#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_otp_field.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "ui/overlay/palette_card.hpp"
#include "ui/overlay/processing_row.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace pennial {

namespace {

// At rest the card rides this far up, so that the panel keeps an empty strip at its foot.
constexpr int restingLift = 20;

QColor white(qreal opacity) {
    return PNColor::withOpacity(Qt::white, opacity);
}

QLabel* label(const QString& text, const QFont& font, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

NotchPasscodeView::NotchPasscodeView(std::shared_ptr<NotchPasscodeModel> model, Executor executor,
                                     QWidget* parent)
    : QWidget(parent), model_(std::move(model)), executor_(std::move(executor)),
      card_(new PaletteCard(this)), content_(new QWidget(card_)), stack_(new QVBoxLayout(content_)),
      codeField_(new PNOTPField(
          model_->isVerifying(), [this] { verify(); }, isFieldFocused_, content_)),
      verifyingRow_(new QWidget(content_)), errorText_(new PNErrorText(std::nullopt, content_)),
      clickHint_(label(QStringLiteral("Click to enter code"), PNTypography::caption(),
                       PNColor::brand(), content_)),
      sliding_(new QPropertyAnimation(card_, "pos", this)), shownCode_(model_->code()),
      shownRevealed_(model_->isRevealed()) {
    setObjectName("NotchPasscodeView");
    setAttribute(Qt::WA_TranslucentBackground);
    card_->setShape({.isNotchDocked = true, .isBottomDocked = false});

    auto* title = label(QStringLiteral("Sign in to Pennial"), PNTypography::bodySemibold(),
                        white(1), content_);
    auto* subtitle = label(QStringLiteral("Enter the 6-digit code we sent to your email"),
                           PNTypography::caption(), white(0.4), content_);

    verifyingRow_->setObjectName("VerifyingRow");
    auto* verifyingLayout = new QHBoxLayout(verifyingRow_);
    verifyingLayout->setContentsMargins(0, 0, 0, 0);
    verifyingLayout->setSpacing(roundToPixels(PNSpacing::xs));
    verifyingLayout->addWidget(new ProgressSpinner(verifyingRow_), 0, Qt::AlignVCenter);
    verifyingLayout->addWidget(
        label(QStringLiteral("Verifying..."), PNTypography::caption(), white(0.5), verifyingRow_),
        0, Qt::AlignVCenter);
    errorText_->setAlignment(Qt::AlignCenter);

    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->setSpacing(roundToPixels(PNSpacing::xs));
    stack_->addWidget(title, 0, Qt::AlignHCenter);
    stack_->addWidget(subtitle, 0, Qt::AlignHCenter);
    stack_->addSpacing(roundToPixels(PNSpacing::xs));
    stack_->addWidget(codeField_, 0, Qt::AlignHCenter);
    stack_->addWidget(verifyingRow_, 0, Qt::AlignHCenter);
    stack_->addWidget(errorText_); // across the card, so that a long message wraps there
    stack_->addWidget(clickHint_, 0, Qt::AlignHCenter);
    stack_->addStretch(1);

    connect(codeField_, &PNOTPField::codeEdited, this,
            [this](const QString& code) { model_->setCode(code.toStdString()); });
    connect(codeField_, &PNOTPField::isFocusedChanged, this,
            [this](bool focused) { setFieldFocused(focused); });

    QEasingCurve spring(QEasingCurve::OutBack);
    spring.setOvershoot(0.6); // a touch past its place and back, as a well-damped spring does
    sliding_->setEasingCurve(spring);

    modelChanged_ = model_->changed().connect([this] { sync(); });
    sync();
    placeCard(false);
}

void NotchPasscodeView::detachFromModel() {
    modelChanged_.disconnect();
}

int NotchPasscodeView::revealOffset() const {
    return model_->isRevealed() ? -restingLift : -roundToPixels(model_->panelHeight());
}

void NotchPasscodeView::sync() {
    const QString code = QString::fromStdString(model_->code());
    if (codeField_->code() != code)
        codeField_->setCode(code);
    codeField_->setFieldDisabled(model_->isVerifying());
    syncStatusLine();

    const bool revealChanged = model_->isRevealed() != shownRevealed_;
    shownRevealed_ = model_->isRevealed();
    placeCard(revealChanged);

    // Last: the core may answer by writing into the model again.
    if (model_->code() != shownCode_) {
        shownCode_ = model_->code();
        if (auto onCodeChanged = model_->onCodeChanged)
            onCodeChanged(shownCode_);
    }
}

void NotchPasscodeView::syncStatusLine() {
    const bool verifying = model_->isVerifying();
    const bool failed = !verifying && model_->error().has_value();
    verifyingRow_->setVisible(verifying);
    errorText_->setMessage(failed ? std::optional(QString::fromStdString(*model_->error()))
                                  : std::nullopt);
    clickHint_->setVisible(!verifying && !failed && !isFieldFocused_);
    placeContent();
}

void NotchPasscodeView::placeContent() {
    // The texts, the field and the status line take a little more than the card leaves between
    // its paddings: held to the top at their natural heights, they run into the bottom padding
    // rather than squeeze the field.
    const int side = roundToPixels(PNSpacing::lg);
    const int top = roundToPixels(model_->notchHeight() + PNSpacing::xl);
    const int width = std::max(0, card_->width() - 2 * side);
    stack_->invalidate(); // a line of the status may have just come or gone
    const int natural = stack_->hasHeightForWidth() ? stack_->totalHeightForWidth(width)
                                                    : stack_->totalSizeHint().height();
    const int room = card_->height() - top - roundToPixels(PNSpacing::md);
    content_->setGeometry(side, top, width, std::max(natural, room));
    stack_->activate();
}

void NotchPasscodeView::setFieldFocused(bool focused) {
    if (focused == isFieldFocused_)
        return;
    isFieldFocused_ = focused;
    syncStatusLine();
}

void NotchPasscodeView::verify() {
    verifyPasscode(executor_, model_);
}

void NotchPasscodeView::placeCard(bool animated) {
    if (card_->size() != size()) {
        card_->resize(size());
        placeContent();
    }
    slideCard(*card_, *sliding_, QPoint(0, revealOffset()), animated);
}

void NotchPasscodeView::resizeEvent(QResizeEvent*) {
    placeCard(false);
}

} // namespace pennial
