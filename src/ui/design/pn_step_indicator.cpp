#include "ui/design/pn_step_indicator.hpp"

#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace pennial {

namespace {

constexpr qreal markSpacing = 5;
constexpr qreal markHeight = 6;
constexpr qreal markWidthOther = 6;
constexpr qreal markWidthCurrent = 18;
constexpr qreal markCornerRadius = 2;
constexpr std::chrono::milliseconds stepAnimation{300};

QColor lerp(const QColor& from, const QColor& to, qreal t) {
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * t,
                            from.greenF() + (to.greenF() - from.greenF()) * t,
                            from.blueF() + (to.blueF() - from.blueF()) * t,
                            from.alphaF() + (to.alphaF() - from.alphaF()) * t);
}

qreal widthAt(int index, int step) {
    return index == step ? markWidthCurrent : markWidthOther;
}

QColor colorAt(int index, int step) {
    return index <= step ? PNColor::brand() : PNColor::withOpacity(Qt::white, 0.2);
}

} // namespace

PNStepIndicator::PNStepIndicator(int totalSteps, int currentStep, QWidget* parent)
    : QWidget(parent), totalSteps_(std::max(totalSteps, 0)), currentStep_(currentStep),
      previousStep_(currentStep), animation_(new QVariantAnimation(this)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    animation_->setStartValue(0.0);
    animation_->setEndValue(1.0);
    animation_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        progress_ = value.toReal();
        update();
    });
}

void PNStepIndicator::setTotalSteps(int totalSteps) {
    totalSteps_ = std::max(totalSteps, 0);
    updateGeometry();
    update();
}

void PNStepIndicator::setCurrentStep(int currentStep) {
    if (currentStep == currentStep_)
        return;
    animation_->stop();
    previousStep_ = currentStep_;
    currentStep_ = currentStep;
    const auto duration = PNAnimations::duration(stepAnimation);
    if (duration.count() == 0) {
        progress_ = 1;
        update();
        return;
    }
    progress_ = 0;
    animation_->setDuration(static_cast<int>(duration.count()));
    animation_->start();
}

qreal PNStepIndicator::markWidth(int index) const {
    const qreal from = widthAt(index, previousStep_);
    return from + (widthAt(index, currentStep_) - from) * progress_;
}

QColor PNStepIndicator::markColor(int index) const {
    return lerp(colorAt(index, previousStep_), colorAt(index, currentStep_), progress_);
}

QRectF PNStepIndicator::markRect(int index) const {
    qreal x = 0;
    for (int i = 0; i < index; ++i)
        x += markWidth(i) + markSpacing;
    return QRectF(x, (height() - markHeight) / 2, markWidth(index), markHeight);
}

QSize PNStepIndicator::sizeHint() const {
    if (totalSteps_ == 0)
        return QSize(0, 0);
    const bool hasCurrent = currentStep_ >= 0 && currentStep_ < totalSteps_;
    const qreal width = totalSteps_ * markWidthOther + (totalSteps_ - 1) * markSpacing +
                        (hasCurrent ? markWidthCurrent - markWidthOther : 0);
    return QSize(static_cast<int>(std::ceil(width)), static_cast<int>(markHeight));
}

void PNStepIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < totalSteps_; ++i) {
        QPainterPath mark;
        mark.addRoundedRect(markRect(i), markCornerRadius, markCornerRadius);
        painter.fillPath(mark, markColor(i));
    }
}

} // namespace pennial
