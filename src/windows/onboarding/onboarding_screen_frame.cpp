#include "windows/onboarding/onboarding_screen_frame.hpp"

#include <QSpacerItem>
#include <QVBoxLayout>

namespace pennial {

OnboardingScreenFrame::OnboardingScreenFrame(Alignment alignment, QWidget* parent)
    : QWidget(parent), alignment_(alignment), stack_(new QVBoxLayout(this)) {
    stack_->setSpacing(0);
    stack_->setContentsMargins(0, 0, 0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
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

void OnboardingScreenFrame::addBottomBar(QWidget* bar) {
    stack_->addWidget(bar);
}

QWidget* OnboardingScreenFrame::wrappingBlock(QWidget* parent) {
    auto* block = new QWidget(parent);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    block->setSizePolicy(policy);
    return block;
}

} // namespace pennial
