#include "windows/onboarding/onboarding_model.hpp"

#include <QSystemTrayIcon>

namespace pennial {

namespace {

// Stores `value` when it differs and says whether it did.
template <class T> bool assign(T& field, T value) {
    if (field == value)
        return false;
    field = std::move(value);
    return true;
}

} // namespace

OnboardingModel::OnboardingModel() : hasSystemTray(&QSystemTrayIcon::isSystemTrayAvailable) {}

void OnboardingModel::setStage(OnboardingStage stage) {
    if (assign(stage_, stage))
        Q_EMIT stageChanged();
}

void OnboardingModel::setDisplayNames(std::string displayNames) {
    if (assign(displayNames_, std::move(displayNames)))
        Q_EMIT profileChanged();
}

void OnboardingModel::setWritingContext(std::string writingContext) {
    if (assign(writingContext_, std::move(writingContext)))
        Q_EMIT profileChanged();
}

void OnboardingModel::setSignInEmail(std::string email) {
    if (assign(signInEmail_, std::move(email)))
        Q_EMIT signInChanged();
}

void OnboardingModel::setSignInCode(std::string code) {
    if (!assign(signInCode_, std::move(code)))
        return;
    Q_EMIT signInChanged();
    // A copy: a receiver may change the code again.
    const std::string current = signInCode_;
    Q_EMIT signInCodeChanged(current);
}

void OnboardingModel::setSignInStep(SignInStep step) {
    if (assign(signInStep_, step))
        Q_EMIT signInChanged();
}

void OnboardingModel::setSignInError(std::optional<std::string> error) {
    if (assign(signInError_, std::move(error)))
        Q_EMIT signInChanged();
}

void OnboardingModel::setSignInLoading(bool loading) {
    if (assign(isSignInLoading_, loading))
        Q_EMIT signInChanged();
}

void OnboardingModel::setSignInVerified(bool verified) {
    if (assign(isSignInVerified_, verified))
        Q_EMIT signInChanged();
}

void OnboardingModel::setResendCooldown(int seconds) {
    if (assign(resendCooldown_, seconds))
        Q_EMIT signInChanged();
}

void OnboardingModel::saveProfile(const std::string& displayNames,
                                  const std::string& writingContext) const {
    if (auto copy = callbacks.onSaveProfile)
        copy(displayNames, writingContext);
}

Awaitable<SignInResult> OnboardingModel::requestOTP(std::string email) const {
    // Copied into the frame: the step may be replaced while the request runs.
    auto handler = callbacks.onRequestOTP;
    if (!handler)
        co_return SignInResult::success();
    co_return co_await handler(std::move(email));
}

Awaitable<SignInResult> OnboardingModel::verifyOTP(std::string email, std::string code) const {
    auto handler = callbacks.onVerifyOTP;
    if (!handler)
        co_return SignInResult::success();
    co_return co_await handler(std::move(email), std::move(code));
}

} // namespace pennial
