#include "ui/code_panel/passcode_verification.hpp"

#include "app/sign_in_result.hpp"
#include "base/task.hpp"
#include "base/unicode.hpp"
#include "services/auth_error.hpp"
#include "ui/code_panel/notch_passcode_model.hpp"

namespace pennial {

namespace {

constexpr std::size_t codeLength = 6;

Awaitable<void> verification(std::weak_ptr<NotchPasscodeModel> weakModel,
                             VerifyCodeHandler onVerify, std::string email, std::string code) {
    SignInResult result;
    try {
        result = co_await onVerify(std::move(email), std::move(code));
    } catch (...) {
        result = SignInResult::failure(std::current_exception());
    }
    const auto model = weakModel.lock();
    if (!model)
        co_return;
    model->setVerifying(false);
    if (result.succeeded()) {
        // A copy: completing usually hides the panel, which may replace the model's callbacks.
        if (auto complete = model->onSignInComplete)
            complete();
        co_return;
    }
    // A stopped verification is no failure of the user's code.
    if (isCancellation(result.error()))
        co_return;
    model->setError(verificationErrorMessage(result.error()));
}

} // namespace

void verifyPasscode(const Executor& executor, const std::shared_ptr<NotchPasscodeModel>& model) {
    std::string email = model->email();
    std::string code = unicode::trimWhitespaceAndNewlines(model->code());
    if (unicode::graphemeCount(code) < codeLength || !model->onVerify)
        return;
    model->setVerifying(true);
    model->setError(std::nullopt);
    Task::spawn(executor, verification(model, model->onVerify, std::move(email), std::move(code)));
}

std::string verificationErrorMessage(std::exception_ptr error) {
    static const std::string somethingWentWrong = "Something went wrong.";
    if (!error)
        return somethingWentWrong;
    try {
        std::rethrow_exception(error);
    } catch (const AuthError& authError) {
        switch (authError.kind()) {
        case AuthError::Kind::networkError:
            return "Unable to connect.";
        case AuthError::Kind::keychainError:
            return keyringSignInMessage(authError.keychainStatus());
        case AuthError::Kind::verificationFailed:
            if (authError.message().empty())
                return "Invalid code. Please try again.";
            return authError.message();
        default:
            return somethingWentWrong;
        }
    } catch (...) {
        return somethingWentWrong;
    }
}

} // namespace pennial
