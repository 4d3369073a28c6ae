#pragma once
// The one error type of the account layer. Cases keep their order; messages for the user are built
// by the views from the case.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pennial {

class AuthError : public std::exception {
public:
    enum class Kind {
        otpRequestFailed,
        verificationFailed,
        refreshFailed,
        keychainError,
        networkError,
        decodingError,
        sessionExpired,
        noSession,
    };

    static AuthError otpRequestFailed(int statusCode, std::string message);
    static AuthError verificationFailed(int statusCode, std::string message);
    static AuthError refreshFailed(int statusCode, std::string message);
    // serviceError: the secret service's name and words for the failure, where it gave them.
    static AuthError keychainError(std::int32_t status, std::string serviceError = {});
    static AuthError networkError(std::string underlying);
    static AuthError decodingError(std::string underlying);
    static AuthError sessionExpired() { return AuthError(Kind::sessionExpired); }
    static AuthError noSession() { return AuthError(Kind::noSession); }

    Kind kind() const { return kind_; }
    int statusCode() const { return statusCode_; }          // the three status cases
    const std::string& message() const { return message_; } // the three status cases
    std::int32_t keychainStatus() const { return keychainStatus_; }
    // The two wrapping cases' underlying error; for keychainError the service's words, if any.
    const std::string& underlying() const { return underlying_; }

    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit AuthError(Kind kind);
    static AuthError withStatus(Kind kind, int statusCode, std::string message);
    Kind kind_;
    int statusCode_ = 0;
    std::string message_;
    std::int32_t keychainStatus_ = 0;
    std::string underlying_;
    std::string description_;
};

} // namespace pennial
