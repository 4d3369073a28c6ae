#include "windows/onboarding/sign_in_messages.hpp"

#include "app/sign_in_result.hpp"
#include "base/unicode.hpp"
#include "services/auth_error.hpp"

#include <array>

namespace pennial {

namespace {

constexpr const char* somethingWentWrong = "Something went wrong. Please try again.";

struct Provider {
    std::string_view domain;
    const char* label;
    const char* url;
};

constexpr std::array providers{
    Provider{"gmail.com", "Open Gmail", "https://mail.google.com/mail/"},
    Provider{"outlook.com", "Open Outlook", "https://outlook.live.com/mail/"},
    Provider{"hotmail.com", "Open Outlook", "https://outlook.live.com/mail/"},
    Provider{"live.com", "Open Outlook", "https://outlook.live.com/mail/"},
    Provider{"yahoo.com", "Open Yahoo Mail", "https://mail.yahoo.com/"},
};

} // namespace

std::string signInErrorMessage(std::exception_ptr error) {
    if (!error)
        return somethingWentWrong;
    try {
        std::rethrow_exception(error);
    } catch (const AuthError& authError) {
        switch (authError.kind()) {
        case AuthError::Kind::otpRequestFailed:
            if (authError.statusCode() == 429)
                return "Too many attempts. Please wait before requesting a new code.";
            // A refusal without words (an empty reply) would leave a blank line.
            if (authError.message().empty())
                return somethingWentWrong;
            return authError.message();
        case AuthError::Kind::verificationFailed:
            if (authError.message().empty())
                return "Invalid code. Please try again.";
            return authError.message();
        case AuthError::Kind::networkError:
            return "Unable to connect. Check your internet connection and try again.";
        case AuthError::Kind::keychainError:
            return keyringSignInMessage(authError.keychainStatus());
        default:
            return somethingWentWrong;
        }
    } catch (...) {
        return somethingWentWrong;
    }
}

EmailProviderInfo emailProviderInfo(std::string_view email) {
    const std::string address = unicode::lowercased(email);
    const auto at = address.rfind('@');
    const std::string_view domain = at == std::string::npos
                                        ? std::string_view(address)
                                        : std::string_view(address).substr(at + 1);
    for (const Provider& provider : providers)
        if (domain == provider.domain)
            return {provider.label, provider.url};
    return {"open your email app", "mailto:"};
}

} // namespace pennial
