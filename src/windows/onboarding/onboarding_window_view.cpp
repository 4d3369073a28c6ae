#include "windows/onboarding/onboarding_window_view.hpp"

#include "app/app_coordinator.hpp"
#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "windows/onboarding/brand_header.hpp"
#include "windows/onboarding/done_screen.hpp"
#include "windows/onboarding/how_it_works_screen.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/permissions_screen.hpp"
#include "windows/onboarding/profile_screen.hpp"
#include "windows/onboarding/sign_in_screen.hpp"
#include "windows/onboarding/welcome_screen.hpp"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QVariantAnimation>
#include <chrono>

namespace pennial {

namespace {

constexpr std::chrono::milliseconds stageTransition{500};
// On the welcome screen the header sits this far left of the centre.
constexpr qreal welcomeHeaderInset = 50;
constexpr qreal welcomeIconSize = 18;
constexpr qreal iconSize = 16;

qreal mix(qreal from, qreal to, qreal progress) {
    return from + (to - from) * progress;
}

// A screen that has left. Deleted on a later turn: the change of stage may come from a press
// of one of its own buttons, still being delivered.
void retire(QWidget* screen) {
    if (!screen)
        return;
    screen->hide();
    screen->deleteLater();
}

void setOpacity(QWidget* widget, qreal opacity) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

} // namespace

OnboardingWindowView::OnboardingWindowView(AppCoordinator& coordinator, OnboardingModel& model,
                                           OnboardingPlaygroundModel& playgroundModel,
                                           QWidget* parent)
    : QWidget(parent), coordinator_(coordinator), model_(model), playgroundModel_(playgroundModel),
      header_(new BrandHeader(this)), transition_(new QVariantAnimation(this)) {
    setObjectName(QStringLiteral("OnboardingWindowView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, PNColor::onboardingBg());
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Base, PNColor::onboardingBg());
    setPalette(dark);

    transition_->setStartValue(0.0);
    transition_->setEndValue(1.0);
    transition_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(transition_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { animationStep(value.toReal()); });
    connect(transition_, &QVariantAnimation::finished, this, [this] { animationFinished(); });

    screen_ = contentForStage(model_.stage());
    headerNow_ = headerLook(model_.stage(), width());
    applyHeader(headerNow_);
    header_->raise();

    connect(&model_, &OnboardingModel::stageChanged, this, [this] { stageChanged(); });
    connect(&model_, &OnboardingModel::signInCodeChanged, this, [this](const std::string& code) {
        if (auto onCodeChanged = model_.onCodeChanged)
            onCodeChanged(code);
    });
}

OnboardingWindowView::HeaderLook OnboardingWindowView::headerLook(OnboardingStage stage,
                                                                  qreal contentWidth) {
    if (stage == OnboardingStage::welcome)
        return {QPointF(contentWidth / 2 - welcomeHeaderInset, PNSpacing::xl), welcomeIconSize, 1};
    return {QPointF(PNSpacing::xl, PNSpacing::lg), iconSize, 0};
}

QWidget* OnboardingWindowView::contentForStage(OnboardingStage stage) {
    QWidget* screen = nullptr;
    switch (stage) {
    case OnboardingStage::welcome:
        screen = new WelcomeScreen(model_, this);
        break;
    case OnboardingStage::permissions:
        screen = new PermissionsScreen(coordinator_, model_, this);
        break;
    case OnboardingStage::videoIntro:
        screen = new HowItWorksScreen(model_, this);
        break;
    case OnboardingStage::signIn: {
        SignInScreen::Services services{coordinator_.mainExecutor(),
                                        [&coordinator = coordinator_](const std::string& url) {
                                            coordinator.workspace()->openURL(url);
                                        }};
        screen = new SignInScreen(model_, std::move(services), this);
        break;
    }
    case OnboardingStage::getToKnowYou:
        screen = new ProfileScreen(coordinator_, model_, this);
        break;
    case OnboardingStage::done:
        screen = new DoneScreen(model_, this);
        break;
    }
    screen->setGeometry(rect());
    screen->show();
    return screen;
}

void OnboardingWindowView::stageChanged() {
    transition_->stop();
    // A change during a change: the screen that was leaving goes at once.
    retire(leavingScreen_);
    leavingScreen_ = screen_;
    headerFrom_ = headerNow_;
    screen_ = contentForStage(model_.stage());
    header_->raise();

    const auto duration = PNAnimations::duration(stageTransition);
    if (duration.count() == 0) {
        animationStep(1);
        animationFinished();
        return;
    }
    animationStep(0);
    transition_->setDuration(static_cast<int>(duration.count()));
    transition_->start();
}

void OnboardingWindowView::animationStep(qreal progress) {
    const HeaderLook target = headerLook(model_.stage(), width());
    headerNow_ = {QPointF(mix(headerFrom_.offset.x(), target.offset.x(), progress),
                          mix(headerFrom_.offset.y(), target.offset.y(), progress)),
                  mix(headerFrom_.iconSize, target.iconSize, progress),
                  mix(headerFrom_.nameOpacity, target.nameOpacity, progress)};
    applyHeader(headerNow_);
    if (leavingScreen_)
        setOpacity(leavingScreen_, 1 - progress);
    setOpacity(screen_, progress);
}

void OnboardingWindowView::animationFinished() {
    retire(leavingScreen_);
    leavingScreen_ = nullptr;
    // Settled screens draw without an offscreen pass.
    screen_->setGraphicsEffect(nullptr);
}

void OnboardingWindowView::applyHeader(const HeaderLook& look) {
    header_->setIconSize(look.iconSize);
    header_->setNameOpacity(look.nameOpacity);
    header_->move(look.offset.toPoint());
}

void OnboardingWindowView::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), PNColor::onboardingBg());
}

void OnboardingWindowView::resizeEvent(QResizeEvent*) {
    for (QWidget* screen : {screen_, leavingScreen_})
        if (screen)
            screen->setGeometry(rect());
    if (transition_->state() != QAbstractAnimation::Running) {
        headerNow_ = headerLook(model_.stage(), width());
        applyHeader(headerNow_);
    }
}

} // namespace pennial
