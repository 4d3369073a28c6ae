#pragma once
// How the hosted auth interface answers: the token answer of code verification and refresh, and
// the body of a failed call, with the rules that turn them into a session and a message.

#include "services/auth_session.hpp"

#include <chrono>
#include <optional>
#include <string>

namespace pennial {

struct SupabaseUser {
    std::string id;
    std::optional<std::string> email;
};

struct SupabaseAuthResponse {
    std::string accessToken;
    std::string refreshToken;
    long long expiresIn = 0; // seconds
    SupabaseUser user;

    // Other keys are ignored. Throws JsonShapeError, never quoting the text (it holds tokens).
    static SupabaseAuthResponse fromJson(std::string_view text);

    AuthSession session(std::chrono::system_clock::time_point now) const;
};

struct SupabaseErrorResponse {
    std::optional<std::string> error;
    std::optional<std::string> msg;
    std::optional<std::string> errorDescription;

    // None when the body is not an object of this shape.
    static std::optional<SupabaseErrorResponse> fromJson(std::string_view text);
};

// The message of a failed auth call: "msg", else "error_description", else "error" of the body
// (as plain text of at most 200 characters); "Unknown error" without a body or without any of
// them; for a body that is not such JSON, never the body but a short text with the status.
std::string authErrorMessage(int statusCode, const std::optional<std::string>& body);

} // namespace pennial
