#pragma once
// What the sign-in callbacks answer the onboarding window and the code panel: success, or the
// error they turn into a message for the user.

#include "base/runtime.hpp"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace pennial {

class SignInResult {
public:
    SignInResult() = default; // success
    static SignInResult success() { return SignInResult(nullptr); }
    static SignInResult failure(std::exception_ptr error) { return SignInResult(error); }

    bool succeeded() const { return !error_; }
    // The failure's error (AuthError, HTTPError, ...); null on success.
    std::exception_ptr error() const { return error_; }

private:
    explicit SignInResult(std::exception_ptr error) : error_(std::move(error)) {}
    std::exception_ptr error_;
};

// In one line, why a verified sign-in could not be kept by the desktop's keyring and what to do:
// the same code then works again (the verified session waits for the keyring).
std::string keyringSignInMessage(std::int32_t keychainStatus);
// In one line, why the keyring could not say at start-up whether the user is signed in, and what
// to do.
std::string keyringSessionReadMessage(std::int32_t keychainStatus);

// Asks for a code by e-mail.
using RequestCodeHandler = std::function<Awaitable<SignInResult>(std::string email)>;
// Verifies the typed code.
using VerifyCodeHandler =
    std::function<Awaitable<SignInResult>(std::string email, std::string code)>;
using CodeChangedHandler = std::function<void(const std::string& code)>;

} // namespace pennial
