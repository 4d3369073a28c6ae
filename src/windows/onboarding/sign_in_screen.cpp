#include "windows/onboarding/sign_in_screen.hpp"

#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_spacing.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/sign_in_code_step.hpp"
#include "windows/onboarding/sign_in_email_step.hpp"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pennial {

namespace {

constexpr qreal topGap = 50;
constexpr int barStep = 3;

} // namespace

SignInScreen::SignInScreen(OnboardingModel& model, Services services, QWidget* parent)
    : OnboardingScreenFrame(Alignment::leading, parent), model_(model),
      services_(std::move(services)), flow_(model, services_.executor, services_.resendTick),
      stepArea_(new QWidget(this)) {
    setObjectName(QStringLiteral("SignInScreen"));
    addFixedGap(topGap);

    auto* area = new QVBoxLayout(stepArea_);
    area->setContentsMargins(static_cast<int>(PNSpacing::xl), 0, static_cast<int>(PNSpacing::xl),
                             0);
    area->setSpacing(0);
    // The step spans the screen like the bar: the e-mail field stretches across it and the texts
    // wrap at its edge. Its own elements keep to the leading edge.
    addFullWidthElement(stepArea_);
    buildStep();

    addFlexibleGap(PNSpacing::sm);
    bottomBar_ = new BrandedBottomBar(
        barStep, QStringLiteral("Continue"), true, std::nullopt, {}, [this] { flow_.verifyCode(); },
        this);
    addBottomBar(bottomBar_);

    connect(&model_, &OnboardingModel::signInChanged, this, [this] { refresh(); });
    refresh();
}

void SignInScreen::buildStep() {
    // The old step goes on a later turn: the change may come from a press of its own button.
    for (QWidget* old : {static_cast<QWidget*>(emailStep_), static_cast<QWidget*>(codeStep_)}) {
        if (!old)
            continue;
        old->hide();
        stepArea_->layout()->removeWidget(old);
        old->deleteLater();
    }
    emailStep_ = nullptr;
    codeStep_ = nullptr;
    builtStep_ = model_.signInStep();
    builtForReturningUser_ = model_.isReturningUser;
    QWidget* step = nullptr;
    if (builtStep_ == SignInStep::enterEmail)
        step = emailStep_ = new SignInEmailStep(model_, flow_, stepArea_);
    else
        step = codeStep_ = new SignInCodeStep(model_, flow_, services_.openURL, stepArea_);
    stepArea_->layout()->addWidget(step);
    step->show();
    focusAddress();
}

void SignInScreen::showEvent(QShowEvent* event) {
    OnboardingScreenFrame::showEvent(event);
    focusAddress();
}

void SignInScreen::focusAddress() {
    if (emailStep_ && isVisible())
        emailStep_->emailField()->lineEdit()->setFocus(Qt::OtherFocusReason);
}

void SignInScreen::refresh() {
    if (model_.signInStep() != builtStep_ || model_.isReturningUser != builtForReturningUser_)
        buildStep();
    else if (emailStep_)
        emailStep_->refresh();
    else
        codeStep_->refresh();
    bottomBar_->primaryButton()->setEnabled(model_.signInStep() == SignInStep::enterCode &&
                                            flow_.canVerify());
}

} // namespace pennial
