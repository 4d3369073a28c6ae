#include "services/auth_session.hpp"

#include "base/json.hpp"

namespace pennial {

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
    try {
        session.expiresAt = json::fromReferenceSeconds(expiresAt);
    } catch (const JsonShapeError&) {
        throw JsonShapeError("key \"expiresAt\" is out of range");
    }
    session.userEmail = json::requireString(object, "userEmail");
    return session;
}

} // namespace pennial
