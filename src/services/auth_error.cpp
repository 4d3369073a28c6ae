#include "services/auth_error.hpp"

#include <fmt/format.h>

namespace pennial {

AuthError::AuthError(Kind kind) : kind_(kind) {
    static constexpr const char* names[] = {
        "otpRequestFailed", "verificationFailed", "refreshFailed",  "keychainError",
        "networkError",     "decodingError",      "sessionExpired", "noSession"};
    description_ = names[int(kind)];
}

AuthError AuthError::withStatus(Kind kind, int statusCode, std::string message) {
    AuthError error(kind);
    error.statusCode_ = statusCode;
    error.description_ =
        fmt::format("{}(statusCode: {}, message: \"{}\")", error.description_, statusCode, message);
    error.message_ = std::move(message);
    return error;
}

AuthError AuthError::otpRequestFailed(int statusCode, std::string message) {
    return withStatus(Kind::otpRequestFailed, statusCode, std::move(message));
}

AuthError AuthError::verificationFailed(int statusCode, std::string message) {
    return withStatus(Kind::verificationFailed, statusCode, std::move(message));
}

AuthError AuthError::refreshFailed(int statusCode, std::string message) {
    return withStatus(Kind::refreshFailed, statusCode, std::move(message));
}

AuthError AuthError::keychainError(std::int32_t status, std::string serviceError) {
    AuthError error(Kind::keychainError);
    error.keychainStatus_ = status;
    // The secret service's own words where it gave them: the number is only ours.
    error.description_ = serviceError.empty() ? fmt::format("keychainError({})", status)
                                              : fmt::format("keychainError({})", serviceError);
    error.underlying_ = std::move(serviceError);
    return error;
}

AuthError AuthError::networkError(std::string underlying) {
    AuthError error(Kind::networkError);
    error.description_ = fmt::format("networkError({})", underlying);
    error.underlying_ = std::move(underlying);
    return error;
}

AuthError AuthError::decodingError(std::string underlying) {
    AuthError error(Kind::decodingError);
    error.description_ = fmt::format("decodingError({})", underlying);
    error.underlying_ = std::move(underlying);
    return error;
}

} // namespace pennial
