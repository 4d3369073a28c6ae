#include "ui/design/pn_saved_indicator.hpp"

#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_typography.hpp"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>

namespace pennial {

namespace {

constexpr std::chrono::milliseconds fadeDuration{200};

} // namespace

PNSavedIndicator::PNSavedIndicator(std::chrono::milliseconds duration, QWidget* parent)
    : QLabel(tr("Saved"), parent), duration_(duration), lifetime_(new QTimer(this)),
      opacity_(new QGraphicsOpacityEffect(this)), fade_(new QPropertyAnimation(this)) {
    setFont(PNTypography::caption());
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, PNColor::success());
    setPalette(palette);
    setGraphicsEffect(opacity_);
    fade_->setTargetObject(opacity_);
    fade_->setPropertyName("opacity");
    lifetime_->setObjectName(QStringLiteral("savedLifetime"));
    lifetime_->setSingleShot(true);
    lifetime_->setTimerType(Qt::PreciseTimer);
    connect(lifetime_, &QTimer::timeout, this, [this] { end(); });
    connect(fade_, &QPropertyAnimation::finished, this, [this] {
        if (!showing_)
            hide();
    });
    hide();
}

void PNSavedIndicator::setShowing(bool showing) {
    if (showing == showing_)
        return;
    showing_ = showing;
    if (showing) {
        lifetime_->start(duration_);
        if (isHidden())
            opacity_->setOpacity(0);
        show();
        fadeTo(1);
    } else {
        lifetime_->stop();
        fadeTo(0);
    }
}

void PNSavedIndicator::fadeTo(qreal opacity) {
    fade_->stop();
    const auto duration = PNAnimations::duration(fadeDuration);
    if (duration.count() == 0) {
        opacity_->setOpacity(opacity);
        if (opacity == 0)
            hide();
        return;
    }
    fade_->setDuration(static_cast<int>(duration.count()));
    fade_->setStartValue(opacity_->opacity());
    fade_->setEndValue(opacity);
    fade_->start();
}

void PNSavedIndicator::end() {
    setShowing(false);
    Q_EMIT showingChanged(false);
}

void PNSavedIndicator::hideEvent(QHideEvent* event) {
    QLabel::hideEvent(event);
    if (!showing_)
        return;
    // Leaving the screen ends the note. The flag is written on the next turn of the event loop:
    // a hide can come from the owner's own destruction, and then the write is dropped with this
    // note instead of reaching an owner that is half gone.
    showing_ = false;
    lifetime_->stop();
    fade_->stop();
    hide(); // stays hidden when its window comes back
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!showing_)
                Q_EMIT showingChanged(false);
        },
        Qt::QueuedConnection);
}

} // namespace pennial
