#include "windows/onboarding/sign_in_flow.hpp"

#include "app/sign_in_result.hpp"
#include "base/task.hpp"
#include "base/unicode.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/sign_in_messages.hpp"

#include <QPointer>

namespace pennial {

namespace {

using Duration = std::chrono::steady_clock::duration;

void startCountdown(OnboardingModel& model, const Executor& executor, Duration tick);

// The callbacks never throw, but a failure is a failure however it arrives.
template <class Call> Awaitable<SignInResult> resultOf(Call call) {
    try {
        co_return co_await call();
    } catch (...) {
        co_return SignInResult::failure(std::current_exception());
    }
}

// Shows a failure under the field. A stopped request is no failure of the user's.
void showFailure(OnboardingModel& model, const SignInResult& result) {
    if (!isCancellation(result.error()))
        model.setSignInError(signInErrorMessage(result.error()));
}

Awaitable<void> requestCode(QPointer<OnboardingModel> model, std::string email, Executor executor,
                            Duration tick) {
    if (!model)
        co_return;
    auto request = [&model, &email] { return model->requestOTP(std::move(email)); };
    const SignInResult result = co_await resultOf(request);
    if (!model)
        co_return;
    model->setSignInLoading(false);
    if (!result.succeeded()) {
        showFailure(*model, result);
        co_return;
    }
    model->setSignInStep(SignInStep::enterCode);
    model->setSignInCode({});
    startCountdown(*model, executor, tick);
}

Awaitable<void> verify(QPointer<OnboardingModel> model, std::string email, std::string code) {
    if (!model)
        co_return;
    auto verification = [&model, &email, &code] {
        return model->verifyOTP(std::move(email), std::move(code));
    };
    const SignInResult result = co_await resultOf(verification);
    if (!model)
        co_return;
    model->setSignInLoading(false);
    if (!result.succeeded()) {
        showFailure(*model, result);
        co_return;
    }
    // The code is used up: verifying it again could only fail.
    model->setSignInVerified(true);
    // The core moves the onboarding on; the screen changes nothing else.
    model->signInComplete();
}

Awaitable<void> countDown(QPointer<OnboardingModel> model, Duration tick) {
    while (model && model->resendCooldown() > 0) {
        // Replaced by a newer countdown.
        if (co_await sleepFor(tick) == SleepResult::cancelled)
            co_return;
        if (model && model->resendCooldown() > 0)
            model->setResendCooldown(model->resendCooldown() - 1);
    }
}

void startCountdown(OnboardingModel& model, const Executor& executor, Duration tick) {
    model.resendCountdown.cancel();
    model.setResendCooldown(SignInFlow::resendCooldownSeconds);
    model.resendCountdown = Task::spawn(executor, countDown(QPointer(&model), tick));
}

} // namespace

SignInFlow::SignInFlow(OnboardingModel& model, Executor executor, Duration resendTick)
    : model_(model), executor_(std::move(executor)), resendTick_(resendTick) {}

bool SignInFlow::canSend() const {
    return !model_.signInEmail().empty() && !model_.isSignInLoading() && !model_.isSignInVerified();
}

bool SignInFlow::canVerify() const {
    return unicode::graphemeCount(model_.signInCode()) >= codeLength && !model_.isSignInLoading() &&
           !model_.isSignInVerified();
}

void SignInFlow::sendCode() {
    std::string email = unicode::trimWhitespaceAndNewlines(model_.signInEmail());
    if (email.empty() || model_.isSignInVerified())
        return;
    model_.setSignInLoading(true);
    model_.setSignInError(std::nullopt);
    Task::spawn(executor_,
                requestCode(QPointer(&model_), std::move(email), executor_, resendTick_));
}

void SignInFlow::verifyCode() {
    std::string email = unicode::trimWhitespaceAndNewlines(model_.signInEmail());
    std::string code = unicode::trimWhitespaceAndNewlines(model_.signInCode());
    if (email.empty() || unicode::graphemeCount(code) < codeLength || model_.isSignInVerified())
        return;
    model_.setSignInLoading(true);
    model_.setSignInError(std::nullopt);
    Task::spawn(executor_, verify(QPointer(&model_), std::move(email), std::move(code)));
}

void SignInFlow::startResendCooldown() {
    startCountdown(model_, executor_, resendTick_);
}

void SignInFlow::useDifferentEmail() {
    if (model_.isSignInVerified())
        return;
    model_.setSignInStep(SignInStep::enterEmail);
    model_.setSignInCode({});
    model_.setSignInError(std::nullopt);
}

} // namespace pennial
