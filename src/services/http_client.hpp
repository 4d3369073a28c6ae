#pragma once
// The one seam every HTTP request of the system goes through: send a fully built request, get the
// body of any answer below 400, and every failure as an HTTPError. Cancellation is not a failure:
// it arrives as asio::error::operation_aborted.

#include "base/runtime.hpp"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace pennial {

struct HTTPRequest {
    std::string url;
    std::string method = "GET";
    std::vector<std::pair<std::string, std::string>> headers; // sent in this order
    std::optional<std::string> body;
    std::chrono::milliseconds timeout{60'000};

    void setHeader(std::string name, std::string value);
    std::optional<std::string> header(std::string_view name) const; // case-insensitive
};

class HTTPError : public std::exception {
public:
    enum class Kind {
        networkError,
        httpError,
        decodingError,
        invalidURL,
        invalidResponse,
        timeout
    };

    static HTTPError networkError(std::string underlying);
    static HTTPError httpError(int statusCode, std::optional<std::string> data);
    static HTTPError decodingError(std::string underlying);
    static HTTPError invalidURL() { return HTTPError(Kind::invalidURL); }
    static HTTPError invalidResponse() { return HTTPError(Kind::invalidResponse); }
    static HTTPError timeout() { return HTTPError(Kind::timeout); }

    Kind kind() const { return kind_; }
    int statusCode() const { return statusCode_; }                   // httpError only
    const std::optional<std::string>& data() const { return data_; } // httpError only
    const std::string& underlying() const { return underlying_; }    // network/decoding errors

    bool operator==(const HTTPError& other) const;
    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit HTTPError(Kind kind);
    Kind kind_;
    int statusCode_ = 0;
    std::optional<std::string> data_;
    std::string underlying_;
    std::string description_;
};

class HTTPClient {
public:
    virtual ~HTTPClient() = default;
    // The response body; throws HTTPError for every failure and a status of 400 or more.
    virtual Awaitable<std::string> execute(HTTPRequest request) = 0;
};

} // namespace pennial
