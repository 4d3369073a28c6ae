#pragma once
// The signed-in user's session, as kept in memory and, as JSON, in the desktop's secret store.

#include <chrono>
#include <string>

namespace pennial {

struct AuthSession {
    std::string userId;
    std::string accessToken;
    std::string refreshToken;
    std::chrono::system_clock::time_point expiresAt;
    std::string userEmail; // empty when the sign-in answer carried none

    bool operator==(const AuthSession&) const = default;

    // Compact JSON; "expiresAt" in seconds since 2001-01-01 00:00:00 UTC.
    std::string toJson() const;
    // A missing or null "userId" reads as ""; the other four keys are required. Throws
    // JsonShapeError, whose message never quotes the text (it holds the tokens).
    static AuthSession fromJson(std::string_view text);
};

} // namespace pennial
