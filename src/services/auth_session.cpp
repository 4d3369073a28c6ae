#include "services/auth_session.hpp"

#include "base/json.hpp"

#include <cmath>

namespace pennial {
namespace {

// Beyond this many seconds either side of 2001 a date cannot be held as a time point.
constexpr double maxReferenceSeconds = 1e11;

} // namespace

std::string AuthSession::toJson() const {
    Json object;
    object["userId"] = userId;
    object["accessToken"] = accessToken;
    object["refreshToken"] = refreshToken;
    object["expiresAt"] = json::toReferenceSeconds(expiresAt);
    object["userEmail"] = userEmail;
    return json::dump(object);
}

AuthSession AuthSession::fromJson(std::string_view text) {
    auto object = json::parse(text);
    if (!object.is_object())
        throw JsonShapeError("expected an object");
    AuthSession session;
    session.userId = json::optionalString(object, "userId").value_or("");
    session.accessToken = json::requireString(object, "accessToken");
    session.refreshToken = json::requireString(object, "refreshToken");
    double expiresAt = json::requireNumber(object, "expiresAt");
    if (!std::isfinite(expiresAt) || std::abs(expiresAt) > maxReferenceSeconds)
        throw JsonShapeError("key \"expiresAt\" is out of range");
    session.expiresAt = json::fromReferenceSeconds(expiresAt);
    session.userEmail = json::requireString(object, "userEmail");
    return session;
}

} // namespace pennial
