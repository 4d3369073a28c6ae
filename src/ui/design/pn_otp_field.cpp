#include "ui/design/pn_otp_field.hpp"

#include "ui/design/focus_tracking_text_field.hpp"
#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QVariantAnimation>
#include <chrono>
#include <optional>
#include <unicode/uchar.h>

namespace pennial {

namespace {

// Takes the typing but draws nothing of it: the boxes show the code. (A graphics effect at zero
// opacity would too, but effects do not nest: inside a window that fades, it breaks the painting.)
class UnpaintedTextField final : public FocusTrackingTextField {
public:
    using FocusTrackingTextField::FocusTrackingTextField;

protected:
    void paintEvent(QPaintEvent*) override {}
};

constexpr qreal boxWidth = 44;
constexpr qreal boxHeight = 48;
constexpr qreal textFieldWidthPerDigit = 52;
constexpr std::chrono::milliseconds focusAnimation{150};
constexpr std::chrono::milliseconds delayedFocusWait{100};

qreal rowWidth() {
    return PNOTPField::digitCount * boxWidth + (PNOTPField::digitCount - 1) * PNSpacing::sm;
}

QList<QStringView> graphemes(const QString& text) {
    QList<QStringView> result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        result.append(QStringView(text).mid(start, end - start));
        start = end;
    }
    return result;
}

// Digits of any script and other numeric signs, as a user sees them.
// The ASCII digit a character stands for: any script's decimal digit ("٤", "４", "²") maps to
// its ASCII form, since the server checks ASCII codes; other numeric signs ("½", "Ⅳ") are no
// digit of a code and are dropped.
std::optional<QChar> asciiDigit(QStringView character) {
    const auto codePoints = character.toUcs4();
    if (codePoints.size() != 1)
        return std::nullopt;
    const auto c = static_cast<UChar32>(codePoints.front());
    const auto type = u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE);
    if (type != U_NT_DECIMAL && type != U_NT_DIGIT)
        return std::nullopt;
    const double value = u_getNumericValue(c);
    if (value < 0 || value > 9 || value != static_cast<int>(value))
        return std::nullopt;
    return QChar(u'0' + static_cast<int>(value));
}

// The first digitCount digits of text, in order, as ASCII.
QString filteredCode(const QString& text) {
    QString code;
    for (QStringView character : graphemes(text)) {
        if (code.size() == PNOTPField::digitCount)
            break;
        if (const auto digit = asciiDigit(character))
            code += *digit;
    }
    return code;
}

qreal mix(qreal from, qreal to, qreal t) {
    return from + (to - from) * t;
}

} // namespace

PNOTPField::PNOTPField(bool disabled, std::function<void()> onComplete,
                       std::optional<bool> isFocused, QWidget* parent)
    : QWidget(parent), onComplete_(std::move(onComplete)), hasCallerFocus_(isFocused.has_value()),
      focused_(isFocused.value_or(false)), focusLevel_(focused_ ? 1 : 0),
      textField_(new UnpaintedTextField(this)), delayedFocus_(new QTimer(this)),
      focusAnimation_(new QVariantAnimation(this)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    textField_->setFrame(false);
    textField_->setAlignment(Qt::AlignCenter);
    textField_->setFont(PNTypography::monoLarge());
    textField_->setReadOnly(disabled);
    textField_->onFocusChanged = [this](bool focused) { reportFocus(focused); };
    connect(textField_, &QLineEdit::textEdited, this, [this] { filterEdit(); });

    delayedFocus_->setObjectName(QStringLiteral("delayedFocus"));
    delayedFocus_->setSingleShot(true);
    delayedFocus_->setInterval(delayedFocusWait);
    connect(delayedFocus_, &QTimer::timeout, this, [this] {
        const QWidget* window = textField_->window();
        if (window && window->isVisible())
            textField_->setFocus(Qt::OtherFocusReason);
    });

    focusAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(focusAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        focusLevel_ = v.toReal();
        update();
    });
}

void PNOTPField::setCode(const QString& code) {
    code_ = code;
    if (textField_->text() != code)
        textField_->setText(code);
    update();
}

void PNOTPField::setFieldDisabled(bool disabled) {
    textField_->setReadOnly(disabled);
}

bool PNOTPField::isFieldDisabled() const {
    return textField_->isReadOnly();
}

void PNOTPField::setFocused(bool focused) {
    if (focused == focused_)
        return;
    focused_ = focused;
    animateFocus();
}

void PNOTPField::reportFocus(bool focused) {
    setFocused(focused);
    Q_EMIT isFocusedChanged(focused);
}

void PNOTPField::filterEdit() {
    const QString code = filteredCode(textField_->text());
    if (textField_->text() != code)
        textField_->setText(code);
    const bool changed = code != code_;
    code_ = code;
    update();
    if (changed)
        Q_EMIT codeEdited(code_);
    // Every edit that leaves the field full completes it, a rejected extra keystroke included.
    if (graphemes(code_).size() == digitCount && onComplete_)
        onComplete_();
}

void PNOTPField::animateFocus() {
    focusAnimation_->stop();
    const auto duration = PNAnimations::duration(focusAnimation);
    const qreal target = focused_ ? 1 : 0;
    if (duration.count() == 0) {
        focusLevel_ = target;
        update();
        return;
    }
    focusAnimation_->setDuration(static_cast<int>(duration.count()));
    focusAnimation_->setStartValue(focusLevel_);
    focusAnimation_->setEndValue(target);
    focusAnimation_->start();
}

std::optional<int> PNOTPField::currentBox() const {
    const auto length = graphemes(code_).size();
    if (!focused_ || length >= digitCount)
        return std::nullopt;
    return static_cast<int>(length);
}

QString PNOTPField::boxCharacter(int index) const {
    const auto characters = graphemes(code_);
    return index < characters.size() ? characters[index].toString() : QString();
}

QRectF PNOTPField::boxRect(int index) const {
    const qreal left = (width() - rowWidth()) / 2;
    const qreal top = (height() - boxHeight) / 2;
    return QRectF(left + index * (boxWidth + PNSpacing::sm), top, boxWidth, boxHeight);
}

QSize PNOTPField::sizeHint() const {
    return QSize(static_cast<int>(digitCount * textFieldWidthPerDigit),
                 static_cast<int>(boxHeight));
}

void PNOTPField::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(PNTypography::monoLarge());
    const std::optional<int> current = currentBox();
    for (int i = 0; i < digitCount; ++i) {
        const QRectF box = boxRect(i);
        const bool isCurrent = current == i;
        const qreal lineWidth = isCurrent ? 1.5 : 1.0;
        QPainterPath outline;
        outline.addRoundedRect(box, PNRadius::small, PNRadius::small);
        painter.fillPath(outline, PNColor::withOpacity(Qt::white, mix(0.1, 0.14, focusLevel_)));

        const qreal inset = lineWidth / 2;
        QPainterPath border;
        border.addRoundedRect(box.adjusted(inset, inset, -inset, -inset), PNRadius::small - inset,
                              PNRadius::small - inset);
        const QColor borderColor =
            isCurrent ? PNColor::brand()
                      : PNColor::withOpacity(Qt::white, mix(0.2, 0.3, focusLevel_));
        painter.setPen(QPen(borderColor, lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(border);

        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, boxCharacter(i));
    }
}

void PNOTPField::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSizeF field(digitCount * textFieldWidthPerDigit, boxHeight);
    textField_->setGeometry(
        QRectF(QPointF((width() - field.width()) / 2, (height() - field.height()) / 2), field)
            .toRect());
}

void PNOTPField::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    if (!hasCallerFocus_)
        setFocused(true);
    delayedFocus_->start();
}

} // namespace pennial
