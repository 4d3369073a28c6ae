#include "fake_backend.hpp"

#include "base/uuid.hpp"
#include "support/fake_ingestion.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <httplib.h>
#include <netinet/in.h>
#include <regex>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>

namespace pennial::testing {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit((unsigned char)text[i + 1]) &&
            std::isxdigit((unsigned char)text[i + 2])) {
            out += char(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<Endpoint> endpointFor(const std::string& method, const std::string& path) {
    struct Entry {
        const char* method;
        const char* path;
        Endpoint endpoint;
    };
    static constexpr Entry table[] = {
        {"POST", "/api/transform", Endpoint::transform},
        {"POST", "/api/context-telemetry", Endpoint::contextTelemetry},
        {"POST", "/auth/v1/otp", Endpoint::otpRequest},
        {"POST", "/auth/v1/verify", Endpoint::otpVerify},
        {"POST", "/auth/v1/token", Endpoint::tokenRefresh},
        {"GET", "/rest/v1/user_profiles", Endpoint::profileGet},
        {"POST", "/rest/v1/user_profiles", Endpoint::profileUpsert},
        {"GET", "/rest/v1/user_commands", Endpoint::commandsGet},
        {"POST", "/rest/v1/rpc/upsert_user_commands", Endpoint::commandsUpsert},
    };
    for (const auto& entry : table)
        if (method == entry.method && path == entry.path)
            return entry.endpoint;
    if (isCrashEnvelopePath(method, path))
        return Endpoint::crashEnvelope;
    return std::nullopt;
}

// Shuts the server side of one connection, found by its two ports, so the client gets no answer.
void shutDownConnection(int localPort, int remotePort) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        int fd = 0;
        try {
            fd = std::stoi(entry.path().filename().string());
        } catch (const std::exception&) {
            continue;
        }
        sockaddr_in local{}, peer{};
        socklen_t size = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
            local.sin_family != AF_INET || ntohs(local.sin_port) != localPort)
            continue;
        size = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
            ntohs(peer.sin_port) != remotePort)
            continue;
        shutdown(fd, SHUT_RDWR);
        return;
    }
}

bool hasBearer(const RecordedRequest& request) {
    auto value = request.header("Authorization");
    return value && value->rfind("Bearer ", 0) == 0 && value->size() > 7;
}

std::string bearerToken(const RecordedRequest& request) {
    return hasBearer(request) ? request.header("Authorization")->substr(7) : std::string();
}

bool hasApiKey(const RecordedRequest& request) {
    auto value = request.header("apikey");
    return value && !value->empty();
}

FakeAnswer missingApiKey() {
    return FakeAnswer::json(401, {{"message", "No API key found in request"},
                                  {"hint", "No `apikey` request header or url param was found."}});
}

// The user a REST query asks for: "user_id=eq.<id>".
std::optional<std::string> userFilter(const RecordedRequest& request) {
    auto value = request.queryValue("user_id");
    if (!value || value->rfind("eq.", 0) != 0)
        return std::nullopt;
    return value->substr(3);
}

// Keeps only the columns a "select" asks for.
Json selected(const Json& row, const RecordedRequest& request) {
    auto select = request.queryValue("select");
    if (!select || *select == "*")
        return row;
    Json out = Json::object();
    std::size_t start = 0;
    while (start <= select->size()) {
        auto end = select->find(',', start);
        auto column = select->substr(start, end == std::string::npos ? end : end - start);
        if (row.contains(column))
            out[column] = row[column];
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

} // namespace

const char* endpointName(Endpoint endpoint) {
    switch (endpoint) {
    case Endpoint::transform:
        return "transform";
    case Endpoint::contextTelemetry:
        return "contextTelemetry";
    case Endpoint::otpRequest:
        return "otpRequest";
    case Endpoint::otpVerify:
        return "otpVerify";
    case Endpoint::tokenRefresh:
        return "tokenRefresh";
    case Endpoint::profileGet:
        return "profileGet";
    case Endpoint::profileUpsert:
        return "profileUpsert";
    case Endpoint::commandsGet:
        return "commandsGet";
    case Endpoint::commandsUpsert:
        return "commandsUpsert";
    case Endpoint::crashEnvelope:
        return "crashEnvelope";
    }
    return "unknown";
}

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (equalsIgnoringCase(key, name))
            return value;
    return std::nullopt;
}

std::optional<std::string> RecordedRequest::queryValue(std::string_view name) const {
    std::size_t start = 0;
    while (start < query.size()) {
        auto end = query.find('&', start);
        std::string_view pair(query.data() + start,
                              (end == std::string::npos ? query.size() : end) - start);
        auto equals = pair.find('=');
        if (pair.substr(0, equals) == name)
            return equals == std::string_view::npos ? std::string()
                                                    : percentDecoded(pair.substr(equals + 1));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return std::nullopt;
}

Json RecordedRequest::json() const {
    return json::parse(body);
}

FakeAnswer FakeAnswer::json(int status, const Json& body) {
    FakeAnswer answer;
    answer.status = status;
    answer.body = json::dump(body);
    return answer;
}

FakeAnswer FakeAnswer::text(int status, std::string body, std::string contentType) {
    FakeAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    answer.contentType = std::move(contentType);
    return answer;
}

FakeAnswer FakeAnswer::empty(int status) {
    FakeAnswer answer;
    answer.status = status;
    return answer;
}

FakeAnswer FakeAnswer::malformed(int status) {
    return text(status, R"({"transformedText": "cut off)", "application/json");
}

FakeAnswer FakeAnswer::oversized(std::size_t bytes, int status) {
    std::string body = R"({"transformedText":")";
    body.append(bytes > body.size() ? bytes - body.size() : 0, 'x');
    body += "\"}";
    return text(status, std::move(body), "application/json");
}

FakeAnswer FakeAnswer::closed() {
    FakeAnswer answer;
    answer.closeWithoutReply = true;
    return answer;
}

FakeAnswer FakeAnswer::after(std::chrono::milliseconds wait) && {
    delay = wait;
    return std::move(*this);
}

class FakeBackend::Server {
public:
    Server(FakeBackend& owner, int port) : owner_(owner) {
        http_.new_task_queue = [] { return new httplib::ThreadPool(32); };
        http_.set_keep_alive_max_count(1000);
        http_.set_tcp_nodelay(true); // answers go out in two writes: no Nagle wait between them
        auto handler = [this](const httplib::Request& request, httplib::Response& response) {
            handle(request, response);
        };
        http_.Get(".*", handler);
        http_.Post(".*", handler);
        http_.Put(".*", handler);
        http_.Patch(".*", handler);
        http_.Delete(".*", handler);
        http_.set_socket_options([this](socket_t socket) {
            httplib::default_socket_options(socket);
            listening_ = socket;
        });
        port_ = port == 0 ? http_.bind_to_any_port("127.0.0.1")
                          : (http_.bind_to_port("127.0.0.1", port) ? port : -1);
        if (port_ <= 0)
            throw std::runtime_error("the fake backend could not bind a port");
        // The library listens with a backlog of 5: more simultaneous connections would wait a
        // whole second for the retried SYN. Listening again only raises the backlog.
        ::listen(listening_, SOMAXCONN);
        thread_ = std::thread([this] { http_.listen_after_bind(); });
        while (!http_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    ~Server() {
        http_.stop();
        thread_.join();
    }

    int port() const { return port_; }

private:
    void handle(const httplib::Request& in, httplib::Response& out) {
        RecordedRequest request;
        request.method = in.method;
        request.path = in.path;
        if (auto mark = in.target.find('?'); mark != std::string::npos)
            request.query = in.target.substr(mark + 1);
        for (const auto& [name, value] : in.headers)
            if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
                name != "LOCAL_PORT")
                request.headers.emplace_back(name, value);
        request.body = in.body;
        request.endpoint = endpointFor(request.method, request.path);

        FakeAnswer answer = owner_.answerFor(request);
        if (answer.closeWithoutReply) {
            shutDownConnection(port_, in.remote_port);
            return;
        }
        out.status = answer.status;
        for (const auto& [name, value] : answer.headers)
            out.set_header(name, value);
        out.set_content(answer.body, answer.contentType.c_str());
    }

    FakeBackend& owner_;
    httplib::Server http_;
    std::thread thread_;
    socket_t listening_ = -1;
    int port_ = 0;
};

FakeBackend::FakeBackend() : FakeBackend(Options{}) {}

FakeBackend::FakeBackend(Options options) {
    installDefaultHandlers();
    server_ = std::make_unique<Server>(*this, options.port);
    port_ = server_->port();
}

FakeBackend::~FakeBackend() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    server_.reset();
}

std::string FakeBackend::baseURL() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

int FakeBackend::port() const {
    return port_;
}

void FakeBackend::answerNext(Endpoint endpoint, FakeAnswer answer) {
    std::lock_guard lock(mutex_);
    routes_[endpoint].next.push_back(std::move(answer));
}

void FakeBackend::answerNext(Endpoint endpoint, std::vector<FakeAnswer> answers) {
    std::lock_guard lock(mutex_);
    for (auto& answer : answers)
        routes_[endpoint].next.push_back(std::move(answer));
}

void FakeBackend::answerAlways(Endpoint endpoint, FakeAnswer answer) {
    std::lock_guard lock(mutex_);
    routes_[endpoint].always = std::move(answer);
}

void FakeBackend::setDelay(Endpoint endpoint, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    routes_[endpoint].delay = delay;
}

void FakeBackend::setDefaultHandler(Endpoint endpoint, Handler handler) {
    std::lock_guard lock(mutex_);
    routes_[endpoint].defaultHandler = std::move(handler);
}

void FakeBackend::clearAnswers(Endpoint endpoint) {
    std::lock_guard lock(mutex_);
    auto& route = routes_[endpoint];
    route.next.clear();
    route.always.reset();
    route.delay = {};
}

std::vector<RecordedRequest> FakeBackend::requests() const {
    std::lock_guard lock(mutex_);
    return recorded_;
}

std::vector<RecordedRequest> FakeBackend::requests(Endpoint endpoint) const {
    std::lock_guard lock(mutex_);
    std::vector<RecordedRequest> found;
    for (const auto& request : recorded_)
        if (request.endpoint == endpoint)
            found.push_back(request);
    return found;
}

std::size_t FakeBackend::requestCount(Endpoint endpoint) const {
    std::lock_guard lock(mutex_);
    return std::count_if(recorded_.begin(), recorded_.end(),
                         [&](const RecordedRequest& r) { return r.endpoint == endpoint; });
}

bool FakeBackend::waitForRequests(Endpoint endpoint, std::size_t count,
                                  std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return std::size_t(
                   std::count_if(recorded_.begin(), recorded_.end(), [&](const RecordedRequest& r) {
                       return r.endpoint == endpoint;
                   })) >= count;
    });
}

void FakeBackend::clearRequests() {
    std::lock_guard lock(mutex_);
    recorded_.clear();
}

FakeAnswer FakeBackend::answerFor(const RecordedRequest& request) {
    FakeAnswer answer;
    std::chrono::milliseconds routeDelay{0};
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        recorded_.push_back(request);
        if (!request.endpoint) {
            answer = FakeAnswer::json(404, {{"error", "Not found"}});
        } else {
            auto& route = routes_[*request.endpoint];
            routeDelay = route.delay;
            if (!route.next.empty()) {
                answer = std::move(route.next.front());
                route.next.pop_front();
            } else if (route.always) {
                answer = *route.always;
            } else {
                handler = route.defaultHandler;
            }
        }
    }
    changed_.notify_all();
    if (handler)
        answer = handler(request); // outside the lock: handlers use the account state
    waitInterruptibly(routeDelay + answer.delay);
    return answer;
}

void FakeBackend::waitInterruptibly(std::chrono::milliseconds delay) {
    if (delay.count() <= 0)
        return;
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, delay, [this] { return stopping_; });
}

// ---- The fake account ----

void FakeBackend::setOtpCode(std::string code) {
    std::lock_guard lock(mutex_);
    otpCode_ = std::move(code);
}

void FakeBackend::setTokenLifetime(std::chrono::seconds seconds) {
    std::lock_guard lock(mutex_);
    tokenLifetime_ = seconds;
}

FakeBackend::IssuedSession FakeBackend::issueSession(const std::string& email) {
    std::lock_guard lock(mutex_);
    auto& userId = userIdsByEmail_[email];
    if (userId.empty()) {
        userId = Uuid::random().toString();
        std::transform(userId.begin(), userId.end(), userId.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
    }
    ++issuedCount_;
    IssuedSession session{userId, email, "fake-access-" + std::to_string(issuedCount_),
                          "fake-refresh-" + std::to_string(issuedCount_)};
    sessionsByAccessToken_[session.accessToken] = session;
    sessionsByRefreshToken_[session.refreshToken] = session;
    return session;
}

std::string FakeBackend::userForAccessToken(const std::string& token) const {
    std::lock_guard lock(mutex_);
    auto found = sessionsByAccessToken_.find(token);
    return found == sessionsByAccessToken_.end() ? defaultUserId : found->second.userId;
}

std::optional<Json> FakeBackend::profileRow(const std::string& userId) const {
    std::lock_guard lock(mutex_);
    auto found = profiles_.find(userId);
    if (found == profiles_.end())
        return std::nullopt;
    return found->second;
}

void FakeBackend::setProfileRow(const std::string& userId, Json row) {
    std::lock_guard lock(mutex_);
    profiles_[userId] = std::move(row);
}

Json FakeBackend::commandRows(const std::string& userId) const {
    std::lock_guard lock(mutex_);
    auto found = commands_.find(userId);
    return found == commands_.end() ? Json::array() : found->second;
}

void FakeBackend::setCommandRows(const std::string& userId, Json rows) {
    std::lock_guard lock(mutex_);
    commands_[userId] = std::move(rows);
}

Json FakeBackend::sessionAnswer(const IssuedSession& session) const {
    auto lifetime = [this] {
        std::lock_guard lock(mutex_);
        return tokenLifetime_;
    }();
    auto now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return {{"access_token", session.accessToken},
            {"token_type", "bearer"},
            {"expires_in", lifetime.count()},
            {"expires_at", (now + lifetime).count()},
            {"refresh_token", session.refreshToken},
            {"user",
             {{"id", session.userId},
              {"aud", "authenticated"},
              {"role", "authenticated"},
              {"email", session.email}}}};
}

// ---- Default answers ----

void FakeBackend::installDefaultHandlers() {
    auto bind = [this](FakeAnswer (FakeBackend::*member)(const RecordedRequest&)) {
        return [this, member](const RecordedRequest& request) { return (this->*member)(request); };
    };
    routes_[Endpoint::transform].defaultHandler = bind(&FakeBackend::transformAnswer);
    routes_[Endpoint::contextTelemetry].defaultHandler = bind(&FakeBackend::telemetryAnswer);
    routes_[Endpoint::otpRequest].defaultHandler = bind(&FakeBackend::otpRequestAnswer);
    routes_[Endpoint::otpVerify].defaultHandler = bind(&FakeBackend::otpVerifyAnswer);
    routes_[Endpoint::tokenRefresh].defaultHandler = bind(&FakeBackend::tokenRefreshAnswer);
    routes_[Endpoint::profileGet].defaultHandler = bind(&FakeBackend::profileGetAnswer);
    routes_[Endpoint::profileUpsert].defaultHandler = bind(&FakeBackend::profileUpsertAnswer);
    routes_[Endpoint::commandsGet].defaultHandler = bind(&FakeBackend::commandsGetAnswer);
    routes_[Endpoint::commandsUpsert].defaultHandler = bind(&FakeBackend::commandsUpsertAnswer);
    routes_[Endpoint::crashEnvelope].defaultHandler = crashEnvelopeAnswer;
}

// Rewrites are marked with the command's name; templates get each <tag> filled in.
FakeAnswer FakeBackend::transformAnswer(const RecordedRequest& request) {
    if (!hasBearer(request))
        return FakeAnswer::json(401, {{"error", "Unauthorized"}});
    std::string transformed;
    try {
        auto body = request.json();
        auto text = json::requireString(body, "text");
        auto command = json::requireString(body, "command");
        auto content = json::requireString(body, "content");
        auto mode = json::requireString(body, "mode");
        if (mode == "snippet")
            transformed = std::regex_replace(content, std::regex("<[^>]*>"), "(filled)");
        else
            transformed = "[" + command + "] " + text;
    } catch (const JsonShapeError& error) {
        return FakeAnswer::json(400, {{"error", error.what()}});
    }
    return FakeAnswer::json(200, {{"transformedText", transformed}, {"processingTimeMs", 7}});
}

FakeAnswer FakeBackend::telemetryAnswer(const RecordedRequest& request) {
    if (!hasBearer(request))
        return FakeAnswer::json(401, {{"error", "Unauthorized"}});
    try {
        auto body = request.json();
        json::requireString(body, "bundleIdentifier");
        json::requireString(body, "appName");
        if (!body.contains("tree") || !body["tree"].is_array())
            throw JsonShapeError("key \"tree\" is not an array");
    } catch (const JsonShapeError& error) {
        return FakeAnswer::json(400, {{"error", error.what()}});
    }
    return FakeAnswer::json(200, {{"ok", true}});
}

FakeAnswer FakeBackend::otpRequestAnswer(const RecordedRequest& request) {
    if (!hasApiKey(request))
        return missingApiKey();
    try {
        if (json::requireString(request.json(), "email").find('@') == std::string::npos)
            return FakeAnswer::json(400, {{"code", 400},
                                          {"error_code", "validation_failed"},
                                          {"msg", "Unable to validate email address: invalid "
                                                  "format"}});
    } catch (const JsonShapeError&) {
        return FakeAnswer::json(
            400, {{"code", 400}, {"error_code", "validation_failed"}, {"msg", "Bad JSON"}});
    }
    return FakeAnswer::json(200, Json::object());
}

FakeAnswer FakeBackend::otpVerifyAnswer(const RecordedRequest& request) {
    if (!hasApiKey(request))
        return missingApiKey();
    std::string email;
    std::string token;
    try {
        auto body = request.json();
        email = json::requireString(body, "email");
        token = json::requireString(body, "token");
        if (json::requireString(body, "type") != "email")
            throw JsonShapeError("unsupported type");
    } catch (const JsonShapeError&) {
        return FakeAnswer::json(
            400, {{"code", 400}, {"error_code", "validation_failed"}, {"msg", "Bad JSON"}});
    }
    bool accepted = [&] {
        std::lock_guard lock(mutex_);
        return token == otpCode_;
    }();
    if (!accepted)
        return FakeAnswer::json(403, {{"code", 403},
                                      {"error_code", "otp_expired"},
                                      {"msg", "Token has expired or is invalid"}});
    return FakeAnswer::json(200, sessionAnswer(issueSession(email)));
}

FakeAnswer FakeBackend::tokenRefreshAnswer(const RecordedRequest& request) {
    if (!hasApiKey(request))
        return missingApiKey();
    if (request.queryValue("grant_type") != "refresh_token")
        return FakeAnswer::json(400, {{"error", "unsupported_grant_type"},
                                      {"error_description", "Unsupported grant type"}});
    std::optional<IssuedSession> old;
    try {
        auto refreshToken = json::requireString(request.json(), "refresh_token");
        std::lock_guard lock(mutex_);
        // Refresh tokens are single-use, as on the hosted service.
        if (auto found = sessionsByRefreshToken_.find(refreshToken);
            found != sessionsByRefreshToken_.end()) {
            old = found->second;
            sessionsByRefreshToken_.erase(found);
        }
    } catch (const JsonShapeError&) {
        return FakeAnswer::json(
            400, {{"code", 400}, {"error_code", "validation_failed"}, {"msg", "Bad JSON"}});
    }
    if (!old)
        return FakeAnswer::json(400, {{"code", 400},
                                      {"error_code", "refresh_token_not_found"},
                                      {"msg", "Invalid Refresh Token: Refresh Token Not Found"}});
    return FakeAnswer::json(200, sessionAnswer(issueSession(old->email)));
}

FakeAnswer FakeBackend::profileGetAnswer(const RecordedRequest& request) {
    if (!hasApiKey(request))
        return missingApiKey();
    if (!hasBearer(request))
        return FakeAnswer::json(401, {{"message", "JWT required"}});
    auto user = userFilter(request);
    Json rows = Json::array();
    if (user)
        if (auto row = profileRow(*user))
            rows.push_back(selected(*row, request));
    return FakeAnswer::json(200, rows);
}

FakeAnswer FakeBackend::profileUpsertAnswer(const RecordedRequest& request) {
    if (!hasApiKey(request))
        return missingApiKey();
    if (!hasBearer(request))
        return FakeAnswer::json(401, {{"message", "JWT required"}});
    try {
        auto body = request.json();
        auto userId = json::requireString(body, "user_id");
        setProfileRow(userId, body);
    } catch (const JsonShapeError& error) {
        return FakeAnswer::json(400, {{"message", error.what()}});
    }
    return FakeAnswer::empty(201);
}

FakeAnswer FakeBackend::commandsGetAnswer(const RecordedRequest& request) {
    if (!hasApiKey(request))
        return missingApiKey();
    if (!hasBearer(request))
        return FakeAnswer::json(401, {{"message", "JWT required"}});
    Json rows = Json::array();
    if (auto user = userFilter(request))
        for (const auto& row : commandRows(*user))
            rows.push_back(selected(row, request));
    return FakeAnswer::json(200, rows);
}

// The whole list replaces the user's rows, as a sync of all commands does.
FakeAnswer FakeBackend::commandsUpsertAnswer(const RecordedRequest& request) {
    if (!hasApiKey(request))
        return missingApiKey();
    if (!hasBearer(request))
        return FakeAnswer::json(401, {{"message", "JWT required"}});
    auto userId = userForAccessToken(bearerToken(request));
    Json rows = Json::array();
    try {
        auto body = request.json();
        if (!body.is_object() || !body.contains("p_commands") || !body["p_commands"].is_array())
            throw JsonShapeError("key \"p_commands\" is not an array");
        for (const auto& command : body["p_commands"]) {
            Json row = {{"user_id", userId},
                        {"command_id", json::requireString(command, "id")},
                        {"name", json::requireString(command, "name")},
                        {"content", json::requireString(command, "content")},
                        {"mode", json::requireString(command, "mode")},
                        {"metadata", nullptr}};
            if (command.contains("metadata"))
                row["metadata"] = command["metadata"];
            rows.push_back(std::move(row));
        }
    } catch (const JsonShapeError& error) {
        return FakeAnswer::json(400, {{"message", error.what()}});
    }
    setCommandRows(userId, std::move(rows));
    return FakeAnswer::empty(204);
}

Json commandRowsOf(const std::vector<Command>& commands) {
    Json rows = Json::array();
    for (const auto& command : commands) {
        rows.push_back(Json{{"command_id", command.id.toString()},
                            {"name", command.name},
                            {"content", command.content},
                            {"mode", modeName(command.replaceText)}});
        if (command.metadata)
            rows.back()["metadata"] = *command.metadata;
    }
    return rows;
}

} // namespace pennial::testing
