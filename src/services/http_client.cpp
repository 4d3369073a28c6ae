#include "services/http_client.hpp"

#include <algorithm>
#include <fmt/format.h>

namespace pennial {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

const char* kindName(HTTPError::Kind kind) {
    switch (kind) {
    case HTTPError::Kind::networkError:
        return "networkError";
    case HTTPError::Kind::httpError:
        return "httpError";
    case HTTPError::Kind::decodingError:
        return "decodingError";
    case HTTPError::Kind::invalidURL:
        return "invalidURL";
    case HTTPError::Kind::invalidResponse:
        return "invalidResponse";
    case HTTPError::Kind::timeout:
        return "timeout";
    }
    return "unknown";
}

} // namespace

void HTTPRequest::setHeader(std::string name, std::string value) {
    for (auto& [key, existing] : headers)
        if (equalsIgnoringCase(key, name)) {
            existing = std::move(value);
            return;
        }
    headers.emplace_back(std::move(name), std::move(value));
}

std::optional<std::string> HTTPRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (equalsIgnoringCase(key, name))
            return value;
    return std::nullopt;
}

HTTPError::HTTPError(Kind kind) : kind_(kind), description_(kindName(kind)) {}

HTTPError HTTPError::networkError(std::string underlying) {
    HTTPError error(Kind::networkError);
    error.description_ = fmt::format("networkError({})", underlying);
    error.underlying_ = std::move(underlying);
    return error;
}

HTTPError HTTPError::httpError(int statusCode, std::optional<std::string> data) {
    HTTPError error(Kind::httpError);
    error.statusCode_ = statusCode;
    error.data_ = std::move(data);
    error.description_ = fmt::format("httpError(statusCode: {})", statusCode);
    return error;
}

HTTPError HTTPError::decodingError(std::string underlying) {
    HTTPError error(Kind::decodingError);
    error.description_ = fmt::format("decodingError({})", underlying);
    error.underlying_ = std::move(underlying);
    return error;
}

bool HTTPError::operator==(const HTTPError& other) const {
    return kind_ == other.kind_ && statusCode_ == other.statusCode_ && data_ == other.data_ &&
           underlying_ == other.underlying_;
}

} // namespace pennial
