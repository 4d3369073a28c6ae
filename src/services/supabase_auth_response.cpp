#include "services/supabase_auth_response.hpp"

#include "base/json.hpp"
#include "services/server_text.hpp"

#include <cmath>
#include <fmt/format.h>

namespace pennial {
namespace {

// A lifetime beyond a century is no answer a real server gives, and would overflow a time point.
constexpr long long maxExpiresIn = 100LL * 365 * 24 * 3600;

long long requireSeconds(const Json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        throw JsonShapeError(fmt::format("key \"{}\" is missing", key));
    double seconds = 0;
    if (it->is_number_integer())
        seconds = double(it->get<long long>());
    else if (it->is_number_unsigned())
        seconds = double(it->get<unsigned long long>());
    else if (it->is_number_float() && std::trunc(it->get<double>()) == it->get<double>())
        seconds = it->get<double>();
    else
        throw JsonShapeError(fmt::format("key \"{}\" is not an integer", key));
    if (std::abs(seconds) > double(maxExpiresIn))
        throw JsonShapeError(fmt::format("key \"{}\" is out of range", key));
    return static_cast<long long>(seconds);
}

} // namespace

SupabaseAuthResponse SupabaseAuthResponse::fromJson(std::string_view text) {
    auto object = json::parse(text);
    if (!object.is_object())
        throw JsonShapeError("expected an object");
    SupabaseAuthResponse response;
    response.accessToken = json::requireString(object, "access_token");
    response.refreshToken = json::requireString(object, "refresh_token");
    response.expiresIn = requireSeconds(object, "expires_in");
    auto user = object.find("user");
    if (user == object.end() || user->is_null())
        throw JsonShapeError("key \"user\" is missing");
    if (!user->is_object())
        throw JsonShapeError("key \"user\" is not an object");
    response.user.id = json::requireString(*user, "id");
    response.user.email = json::optionalString(*user, "email");
    return response;
}

AuthSession SupabaseAuthResponse::session(std::chrono::system_clock::time_point now) const {
    AuthSession session;
    session.userId = user.id;
    session.accessToken = accessToken;
    session.refreshToken = refreshToken;
    session.expiresAt = now + std::chrono::seconds(expiresIn);
    session.userEmail = user.email.value_or("");
    return session;
}

std::optional<SupabaseErrorResponse> SupabaseErrorResponse::fromJson(std::string_view text) {
    try {
        auto object = json::parse(text);
        if (!object.is_object())
            return std::nullopt;
        SupabaseErrorResponse response;
        response.error = json::optionalString(object, "error");
        response.msg = json::optionalString(object, "msg");
        response.errorDescription = json::optionalString(object, "error_description");
        return response;
    } catch (const JsonShapeError&) {
        return std::nullopt;
    }
}

std::string authErrorMessage(int statusCode, const std::optional<std::string>& body) {
    static const std::string unknown = "Unknown error";
    if (!body)
        return unknown;
    if (auto response = SupabaseErrorResponse::fromJson(*body)) {
        if (response->msg)
            return plainServerText(*response->msg);
        if (response->errorDescription)
            return plainServerText(*response->errorDescription);
        if (response->error)
            return plainServerText(*response->error);
        return unknown;
    }
    // Gateways answer with pages that can echo the request, tokens and codes included.
    if (body->empty())
        return "";
    return fmt::format("The server answered with status {}", statusCode);
}

} // namespace pennial
