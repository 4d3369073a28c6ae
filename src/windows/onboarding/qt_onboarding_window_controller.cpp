#include "windows/onboarding/qt_onboarding_window_controller.hpp"

#include "app/app_coordinator.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"

namespace pennial {

QtOnboardingWindowController::QtOnboardingWindowController(OnboardingCardFactory makeCard)
    : makeCard_(std::move(makeCard)) {}

void QtOnboardingWindowController::show(AppCoordinator& coordinator, OnboardingStage stage,
                                        bool isReturningUser, OnboardingCallbacks callbacks) {
    model_.setStage(stage);
    model_.isReturningUser = isReturningUser;
    model_.callbacks = std::move(callbacks);

    if (stage == OnboardingStage::signIn) {
        // Every show of the step starts the form over; the address and the countdown stay. A
        // keyring that kept the stored session out of reach is named until the user acts.
        model_.setSignInStep(SignInStep::enterEmail);
        model_.setSignInError(coordinator.signInNotice());
        model_.setSignInCode("");
        model_.setSignInLoading(false);
        model_.setSignInVerified(false);
    }

    if (windowController_) {
        windowController_->resize(defaultSize, true);
        windowController_->show();
        return;
    }
    OnboardingCardLayout layout;
    layout.id = QStringLiteral("onboarding");
    layout.size = defaultSize;
    layout.resizable = false;
    layout.canClose = false;
    layout.hideButtons = true;
    layout.opaqueBackground = QColor(Qt::black);
    // The window is built from the coordinator of the show that made it, and the same models.
    auto content = [coordinator = &coordinator, model = &model_,
                    playgroundModel = &playgroundModel_]() -> std::unique_ptr<QWidget> {
        return std::make_unique<OnboardingWindowView>(*coordinator, *model, *playgroundModel);
    };
    auto card = makeCard_(layout, std::move(content));
    card->setOnWindowDidResignKey(onWindowDidResignKey_);
    card->setOnWindowDidBecomeKey(onWindowDidBecomeKey_);
    card->show();
    windowController_ = std::move(card);
}

void QtOnboardingWindowController::hide() {
    if (!windowController_)
        return;
    windowController_->hide();
    windowController_.reset();
}

void QtOnboardingWindowController::setOnWindowDidResignKey(std::function<void()> callback) {
    onWindowDidResignKey_ = std::move(callback);
    if (windowController_)
        windowController_->setOnWindowDidResignKey(onWindowDidResignKey_);
}

void QtOnboardingWindowController::setOnWindowDidBecomeKey(std::function<void()> callback) {
    onWindowDidBecomeKey_ = std::move(callback);
    if (windowController_)
        windowController_->setOnWindowDidBecomeKey(onWindowDidBecomeKey_);
}

void QtOnboardingWindowController::setOnCodeChanged(CodeChangedHandler callback) {
    model_.onCodeChanged = std::move(callback);
}

void QtOnboardingWindowController::setSignInCode(const std::string& code) {
    if (model_.signInCode() != code)
        model_.setSignInCode(code);
}

bool QtOnboardingWindowController::isAtEnterCodeStep() const {
    return model_.stage() == OnboardingStage::signIn &&
           model_.signInStep() == SignInStep::enterCode;
}

bool QtOnboardingWindowController::isWindowVisible() const {
    return windowController_ && windowController_->isVisible();
}

std::string QtOnboardingWindowController::signInEmail() const {
    return model_.signInEmail();
}

std::string QtOnboardingWindowController::signInCode() const {
    return model_.signInCode();
}

} // namespace pennial
