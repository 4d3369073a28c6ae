// The sign-in screen's error lines and webmail shortcuts.

#include "platform/secret_store.hpp"
#include "services/auth_error.hpp"
#include "services/http_client.hpp"
#include "windows/onboarding/sign_in_messages.hpp"

#include <gtest/gtest.h>
#include <stdexcept>

namespace pennial {
namespace {

template <class Error> std::string lineFor(Error error) {
    return signInErrorMessage(std::make_exception_ptr(std::move(error)));
}

TEST(SignInErrorMessage, ShowsTheBackendsWordsForRefusalsAndFixedLinesOtherwise) {
    const std::string tooMany = "Too many attempts. Please wait before requesting a new code.";
    const std::string unableToConnect =
        "Unable to connect. Check your internet connection and try again.";
    const std::string general = "Something went wrong. Please try again.";

    // Rate limiting is its own sentence for a code request only.
    EXPECT_EQ(lineFor(AuthError::otpRequestFailed(429, "Rate limit exceeded")), tooMany);
    EXPECT_EQ(lineFor(AuthError::verificationFailed(429, "For security purposes, wait")),
              "For security purposes, wait");

    EXPECT_EQ(lineFor(AuthError::otpRequestFailed(400, "Unable to validate email address")),
              "Unable to validate email address");
    EXPECT_EQ(lineFor(AuthError::otpRequestFailed(500, "")), general) << "never a blank line";
    EXPECT_EQ(lineFor(AuthError::verificationFailed(403, "Token has expired or is invalid")),
              "Token has expired or is invalid");
    EXPECT_EQ(lineFor(AuthError::verificationFailed(403, "")), "Invalid code. Please try again.");

    EXPECT_EQ(lineFor(AuthError::networkError("timed out")), unableToConnect);
    // A keyring that cannot keep the sign-in: what is wrong and what to do, in one line.
    EXPECT_EQ(lineFor(AuthError::keychainError(SecretStatus::interactionNotAllowed, "IsLocked")),
              "Your keyring is locked, so Pennial cannot keep you signed in. Unlock it, then try "
              "the same code again.");
    for (const AuthError& other :
         {AuthError::refreshFailed(400, "bad"), AuthError::decodingError("no token"),
          AuthError::sessionExpired(), AuthError::noSession()})
        EXPECT_EQ(lineFor(other), general) << other.what();

    // Errors that are not the account layer's, whatever they say.
    EXPECT_EQ(lineFor(HTTPError::timeout()), general);
    EXPECT_EQ(lineFor(std::runtime_error("Connection refused")), general);
    EXPECT_EQ(signInErrorMessage(nullptr), general);
}

TEST(EmailProviderInfo, MatchesTheWholeDomainIgnoringCase) {
    const EmailProviderInfo gmail{"Open Gmail", "https://mail.google.com/mail/"};
    const EmailProviderInfo outlook{"Open Outlook", "https://outlook.live.com/mail/"};
    const EmailProviderInfo yahoo{"Open Yahoo Mail", "https://mail.yahoo.com/"};
    const EmailProviderInfo mailApp{"open your email app", "mailto:"};

    EXPECT_EQ(emailProviderInfo("ada@gmail.com"), gmail);
    EXPECT_EQ(emailProviderInfo("Ada@GMail.COM"), gmail);
    EXPECT_EQ(emailProviderInfo("ada@outlook.com"), outlook);
    EXPECT_EQ(emailProviderInfo("ada@hotmail.com"), outlook);
    EXPECT_EQ(emailProviderInfo("ada@live.com"), outlook);
    EXPECT_EQ(emailProviderInfo("ada@yahoo.com"), yahoo);
    // The last at sign decides; an address without one is its own domain.
    EXPECT_EQ(emailProviderInfo("\"a@b\"@gmail.com"), gmail);
    EXPECT_EQ(emailProviderInfo("gmail.com"), gmail);

    for (const char* elsewhere : {"ada@yahoo.co.uk", "ada@googlemail.com", "ada@mail.gmail.com",
                                  "ada@gmail.com ", "ada@example.test", "ada", ""})
        EXPECT_EQ(emailProviderInfo(elsewhere), mailApp) << elsewhere;
}

} // namespace
} // namespace pennial
