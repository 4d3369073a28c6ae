#pragma once
// A local stand-in for both backends of the system (the product API and the hosted auth/REST
// project) on 127.0.0.1. It answers all nine endpoints plausibly, records every request, and can
// be told per endpoint what to answer next, how long to wait, and how to misbehave.
//
// Answer order for a request: the endpoint's queue of next answers, then its standing answer,
// then its default handler. Extending it for a new exchange means replacing a default handler
// (setDefaultHandler) or adding to the fake account state below.

#include "base/json.hpp"
#include "text/command.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pennial::testing {

enum class Endpoint {
    transform,        // POST /api/transform
    contextTelemetry, // POST /api/context-telemetry
    otpRequest,       // POST /auth/v1/otp
    otpVerify,        // POST /auth/v1/verify
    tokenRefresh,     // POST /auth/v1/token?grant_type=refresh_token
    profileGet,       // GET  /rest/v1/user_profiles
    profileUpsert,    // POST /rest/v1/user_profiles
    commandsGet,      // GET  /rest/v1/user_commands
    commandsUpsert,   // POST /rest/v1/rpc/upsert_user_commands
    crashEnvelope,    // POST /api/<project>/envelope/ (support/fake_ingestion.hpp)
};

const char* endpointName(Endpoint endpoint);

struct RecordedRequest {
    std::optional<Endpoint> endpoint; // none for a path the backend does not serve
    std::string method;
    std::string path;
    std::string query; // as sent, without the "?"
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    std::optional<std::string> header(std::string_view name) const; // case-insensitive
    std::optional<std::string> queryValue(std::string_view name) const;
    Json json() const; // the body; throws JsonShapeError when it is not JSON
};

struct FakeAnswer {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
    std::chrono::milliseconds delay{0};
    bool closeWithoutReply = false;

    static FakeAnswer json(int status, const Json& body);
    static FakeAnswer text(int status, std::string body, std::string contentType = "text/plain");
    static FakeAnswer empty(int status = 204);
    // JSON cut off in the middle.
    static FakeAnswer malformed(int status = 200);
    // A well-formed transform answer whose body is at least this many bytes.
    static FakeAnswer oversized(std::size_t bytes, int status = 200);
    // The connection is shut without a byte of answer.
    static FakeAnswer closed();

    FakeAnswer after(std::chrono::milliseconds wait) &&;
};

class FakeBackend {
public:
    using Handler = std::function<FakeAnswer(const RecordedRequest&)>;

    struct Options {
        int port = 0; // 0: any free port
    };

    // Listening when constructed; throws std::runtime_error when the port cannot be bound.
    FakeBackend();
    explicit FakeBackend(Options options);
    ~FakeBackend(); // requests still waiting on a delay are answered at once
    FakeBackend(const FakeBackend&) = delete;
    FakeBackend& operator=(const FakeBackend&) = delete;

    std::string baseURL() const; // "http://127.0.0.1:<port>", no trailing slash
    int port() const;

    // Knobs, per endpoint.
    void answerNext(Endpoint endpoint, FakeAnswer answer); // queued, one per request
    void answerNext(Endpoint endpoint, std::vector<FakeAnswer> answers);
    void answerAlways(Endpoint endpoint, FakeAnswer answer); // after the queue, until cleared
    void setDelay(Endpoint endpoint, std::chrono::milliseconds delay); // before every answer
    void setDefaultHandler(Endpoint endpoint, Handler handler);
    void clearAnswers(Endpoint endpoint); // queue, standing answer and delay

    // What was received, in arrival order.
    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requests(Endpoint endpoint) const;
    std::size_t requestCount(Endpoint endpoint) const;
    // True once at least count requests for the endpoint have arrived.
    bool waitForRequests(Endpoint endpoint, std::size_t count,
                         std::chrono::milliseconds timeout) const;
    void clearRequests();

    // The fake account behind the default answers of the auth and REST endpoints.
    struct IssuedSession {
        std::string userId;
        std::string email;
        std::string accessToken;
        std::string refreshToken;
    };
    static constexpr const char* defaultUserId = "00000000-0000-4000-8000-000000000001";
    void setOtpCode(std::string code);                   // default "123456"
    void setTokenLifetime(std::chrono::seconds seconds); // "expires_in"; default 3600
    IssuedSession issueSession(const std::string& email);
    // The user an access token was issued to; unknown tokens act for defaultUserId.
    std::string userForAccessToken(const std::string& token) const;
    std::optional<Json> profileRow(const std::string& userId) const;
    void setProfileRow(const std::string& userId, Json row);
    Json commandRows(const std::string& userId) const; // array of rows
    void setCommandRows(const std::string& userId, Json rows);

private:
    struct Route {
        std::deque<FakeAnswer> next;
        std::optional<FakeAnswer> always;
        std::chrono::milliseconds delay{0};
        Handler defaultHandler;
    };
    class Server;

    void installDefaultHandlers();
    FakeAnswer answerFor(const RecordedRequest& request);
    void waitInterruptibly(std::chrono::milliseconds delay);

    FakeAnswer transformAnswer(const RecordedRequest& request);
    FakeAnswer telemetryAnswer(const RecordedRequest& request);
    FakeAnswer otpRequestAnswer(const RecordedRequest& request);
    FakeAnswer otpVerifyAnswer(const RecordedRequest& request);
    FakeAnswer tokenRefreshAnswer(const RecordedRequest& request);
    FakeAnswer profileGetAnswer(const RecordedRequest& request);
    FakeAnswer profileUpsertAnswer(const RecordedRequest& request);
    FakeAnswer commandsGetAnswer(const RecordedRequest& request);
    FakeAnswer commandsUpsertAnswer(const RecordedRequest& request);
    Json sessionAnswer(const IssuedSession& session) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::map<Endpoint, Route> routes_;
    std::vector<RecordedRequest> recorded_;

    std::string otpCode_ = "123456";
    std::chrono::seconds tokenLifetime_{3600};
    std::map<std::string, std::string> userIdsByEmail_;
    std::map<std::string, IssuedSession> sessionsByAccessToken_;
    std::map<std::string, IssuedSession> sessionsByRefreshToken_;
    std::map<std::string, Json> profiles_;
    std::map<std::string, Json> commands_;
    std::size_t issuedCount_ = 0;

    std::unique_ptr<Server> server_;
    int port_ = 0;
};

// The rows the backend keeps for commands, as the app writes them (metadata where a command has
// it).
Json commandRowsOf(const std::vector<Command>& commands);

} // namespace pennial::testing
