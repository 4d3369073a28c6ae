#include "windows/onboarding/onboarding_screen_frame.hpp"

#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_scroll_indicator.hpp"

#include <QPointer>
#include <QScrollArea>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace pennial {

namespace {

// The stack above the bar. Its wrapping texts are as tall as the width they get makes them, not
// as tall as at their narrowest: only that height is its least, so that the scroller scrolls
// only what truly does not fit.
class ScreenBody final : public QWidget {
public:
    QSize minimumSizeHint() const override {
        const QSize least = QWidget::minimumSizeHint();
        return layout() && layout()->hasHeightForWidth() ? QSize(least.width(), 0) : least;
    }
};

} // namespace

OnboardingScreenFrame::OnboardingScreenFrame(Alignment alignment, QWidget* parent)
    : QWidget(parent), alignment_(alignment), outer_(new QVBoxLayout(this)),
      scroller_(new QScrollArea(this)), stack_(nullptr) {
    outer_->setSpacing(0);
    outer_->setContentsMargins(0, 0, 0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    // Unseen while the stack fits: no frame, no fill, no stop in the focus chain; the texts wrap
    // at the window's width rather than scroll sideways.
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(true);
    scroller_->setFocusPolicy(Qt::NoFocus);
    scroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller_->setAutoFillBackground(false);
    scroller_->viewport()->setAutoFillBackground(false);
    PNScrollIndicator::apply(*scroller_, static_cast<int>(PNRadius::large));
    auto* body = new ScreenBody;
    body->setObjectName(QStringLiteral("OnboardingScreenBody"));
    stack_ = new QVBoxLayout(body);
    stack_->setSpacing(0);
    stack_->setContentsMargins(0, 0, 0, 0);
    scroller_->setWidget(body);
    body->setAutoFillBackground(false);
    outer_->addWidget(scroller_, 1);
}

void OnboardingScreenFrame::addFixedGap(qreal height) {
    stack_->addSpacerItem(
        new QSpacerItem(0, static_cast<int>(height), QSizePolicy::Minimum, QSizePolicy::Fixed));
}

void OnboardingScreenFrame::addFlexibleGap(qreal minimum) {
    stack_->addSpacerItem(new QSpacerItem(0, static_cast<int>(minimum), QSizePolicy::Minimum,
                                          QSizePolicy::Expanding));
}

void OnboardingScreenFrame::addElement(QWidget* element) {
    if (alignment_ == Alignment::centre)
        // Wrapping text takes the whole width and centres its own lines.
        stack_->addWidget(element, 0,
                          element->hasHeightForWidth() ? Qt::Alignment() : Qt::AlignHCenter);
    else
        stack_->addWidget(element, 0, Qt::AlignLeft);
}

void OnboardingScreenFrame::addFullWidthElement(QWidget* element) {
    stack_->addWidget(element);
}

void OnboardingScreenFrame::bringIntoView(QWidget* element) {
    QMetaObject::invokeMethod(
        this,
        [this, element = QPointer(element)] {
            if (!element || !element->isVisibleTo(this))
                return;
            scroller_->widget()->layout()->activate();
            scroller_->ensureWidgetVisible(element, 0, 0);
        },
        Qt::QueuedConnection);
}

void OnboardingScreenFrame::addBottomBar(QWidget* bar) {
    outer_->addWidget(bar);
}

QWidget* OnboardingScreenFrame::wrappingBlock(QWidget* parent) {
    auto* block = new QWidget(parent);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    block->setSizePolicy(policy);
    return block;
}

} // namespace pennial
