#include "ui/overlay/processing_row.hpp"

#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>
#include <QVariantAnimation>
#include <cmath>

namespace pennial {

namespace {

constexpr int spinnerSize = 13;
constexpr std::chrono::milliseconds spinnerStep{80};
constexpr std::chrono::milliseconds verbTransition{200};

} // namespace

ProgressSpinner::ProgressSpinner(QWidget* parent) : QWidget(parent), turning_(new QTimer(this)) {
    setObjectName("ProgressSpinner");
    setFixedSize(spinnerSize, spinnerSize);
    turning_->setInterval(spinnerStep);
    connect(turning_, &QTimer::timeout, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

void ProgressSpinner::showEvent(QShowEvent*) {
    if (PNAnimations::enabled())
        turning_->start();
}

void ProgressSpinner::hideEvent(QHideEvent*) {
    turning_->stop();
}

void ProgressSpinner::paintEvent(QPaintEvent*) {
    // Twelve spokes, fading behind the leading one.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate(angle_);
    const double radius = spinnerSize / 2.0;
    for (int spoke = 0; spoke < 12; ++spoke) {
        QPen pen(PNColor::withOpacity(PNColor::textSecondary(), 1.0 - spoke / 13.0), 1.5);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius + 0.75));
        painter.rotate(-30);
    }
}

VerbLabel::VerbLabel(QWidget* parent) : QWidget(parent), rolling_(new QVariantAnimation(this)) {
    setObjectName("VerbLabel");
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    rolling_->setStartValue(0.0);
    rolling_->setEndValue(1.0);
    rolling_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(rolling_, &QVariantAnimation::valueChanged, [this](const QVariant& value) {
        progress_ = value.toDouble();
        update();
    });
}

void VerbLabel::setText(const QString& text) {
    if (text == text_)
        return;
    leaving_ = text_;
    text_ = text;
    updateGeometry();
    const auto duration = PNAnimations::duration(verbTransition);
    if (duration.count() == 0 || leaving_.isEmpty() || !isVisible()) {
        rolling_->stop();
        progress_ = 1;
        update();
        return;
    }
    rolling_->stop();
    rolling_->setDuration(static_cast<int>(duration.count()));
    rolling_->start();
}

QSize VerbLabel::sizeHint() const {
    const QFontMetricsF metrics(PNTypography::bodySemibold());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text_))),
            static_cast<int>(std::ceil(metrics.height()))};
}

void VerbLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(PNTypography::bodySemibold());
    const QFontMetricsF metrics(PNTypography::bodySemibold());
    const double lineHeight = height();
    auto draw = [&](const QString& text, double offset, double opacity) {
        painter.setOpacity(opacity);
        painter.setPen(PNColor::textSecondary());
        const QString shown = metrics.elidedText(text, Qt::ElideRight, width());
        painter.drawText(QRectF(0, offset, width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         shown);
    };
    // Counting up: the old word leaves upwards while the new one rises into its place.
    if (progress_ < 1 && !leaving_.isEmpty())
        draw(leaving_, -progress_ * lineHeight, 1 - progress_);
    draw(text_, (1 - progress_) * lineHeight, progress_);
}

ProcessingRow::ProcessingRow(QWidget* parent) : QWidget(parent), verb_(new VerbLabel(this)) {
    setObjectName("ProcessingRow");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(static_cast<int>(PNSpacing::sm));
    layout->addStretch(1);
    layout->addWidget(new ProgressSpinner(this), 0, Qt::AlignVCenter);
    layout->addWidget(verb_, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

} // namespace pennial
