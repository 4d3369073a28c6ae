#include "services/auth_service.hpp"

#include "base/log.hpp"
#include "base/task.hpp"
#include "services/auth_error.hpp"
#include "services/supabase_auth_response.hpp"
#include "services/supabase_url.hpp"

#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <set>
#include <system_error>

namespace pennial {
namespace {

// A refused refresh as the log tells it: the server's own words may echo the tokens sent to it.
std::string loggedRefreshFailure(const std::exception& error) {
    if (const auto* auth = dynamic_cast<const AuthError*>(&error);
        auth && auth->kind() == AuthError::Kind::refreshFailed)
        return fmt::format("refreshFailed(statusCode: {})", auth->statusCode());
    return error.what();
}

enum class AuthCall { otpRequest, verification, refresh };

// A refresh token the server will never accept again. Besides 401 and 403, the hosted auth
// service answers a revoked, rotated or unknown token with 400: older versions with the error
// "invalid_grant", current ones with an "error_code" that names the dead token or session.
bool isRefusal(const HTTPError& error) {
    if (error.kind() != HTTPError::Kind::httpError)
        return false;
    if (error.statusCode() == 401 || error.statusCode() == 403)
        return true;
    if (error.statusCode() != 400 || !error.data())
        return false;
    try {
        auto body = json::parse(*error.data());
        if (!body.is_object())
            return false;
        static const std::set<std::string> deadSession = {"refresh_token_not_found",
                                                          "refresh_token_already_used",
                                                          "session_not_found", "session_expired"};
        return json::optionalString(body, "error") == "invalid_grant" ||
               deadSession.contains(json::optionalString(body, "error_code").value_or(""));
    } catch (const JsonShapeError&) {
        return false;
    }
}

bool isRefusal(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const HTTPError& error) {
        return isRefusal(error);
    } catch (...) {
        return false;
    }
}

// Throws the error a failed auth call reports. Cancellation passes unchanged: it is no failure.
[[noreturn]] void throwAuthFailure(std::exception_ptr failure, AuthCall call) {
    if (isCancellation(failure))
        std::rethrow_exception(failure);
    try {
        std::rethrow_exception(failure);
    } catch (const HTTPError& error) {
        if (error.kind() != HTTPError::Kind::httpError)
            throw AuthError::networkError(error.what());
        auto message = authErrorMessage(error.statusCode(), error.data());
        switch (call) {
        case AuthCall::otpRequest:
            throw AuthError::otpRequestFailed(error.statusCode(), std::move(message));
        case AuthCall::verification:
            throw AuthError::verificationFailed(error.statusCode(), std::move(message));
        case AuthCall::refresh:
            throw AuthError::refreshFailed(error.statusCode(), std::move(message));
        }
        throw AuthError::networkError(error.what());
    } catch (const AuthError&) {
        throw;
    } catch (const std::exception& error) {
        throw AuthError::networkError(error.what());
    } catch (...) {
        throw AuthError::networkError("unknown error");
    }
}

AuthSession decodeSession(const std::string& body, std::chrono::system_clock::time_point now) {
    try {
        return SupabaseAuthResponse::fromJson(body).session(now);
    } catch (const JsonShapeError& error) {
        throw AuthError::decodingError(error.what());
    }
}

const char* flag(bool value) {
    return value ? "true" : "false";
}

bool isRefused(const std::exception& error) {
    auto* auth = dynamic_cast<const AuthError*>(&error);
    return auth && (auth->kind() == AuthError::Kind::sessionExpired ||
                    auth->kind() == AuthError::Kind::noSession);
}

} // namespace

// One refresh and everyone waiting for it. The timer never fires: it is cancelled when the outcome
// is in, which wakes every waiter at once.
struct AuthService::Refresh {
    explicit Refresh(const Executor& executor)
        : finished(executor, std::chrono::steady_clock::time_point::max()) {}
    asio::steady_timer finished;
    bool done = false;
    std::optional<AuthSession> session;
    std::exception_ptr error;
    Task task;
};

AuthService::AuthService(std::shared_ptr<HTTPClient> httpClient,
                         std::shared_ptr<KeychainStore> keychain, std::string supabaseURL,
                         std::string supabaseAnonKey, AuthServiceOptions options)
    : httpClient_(std::move(httpClient)), keychain_(std::move(keychain)),
      supabaseURL_(std::move(supabaseURL)), supabaseAnonKey_(std::move(supabaseAnonKey)),
      options_(std::move(options)) {}

AuthService::~AuthService() = default;

Awaitable<std::optional<AuthSession>> AuthService::loadExistingSession() {
    return onStrand(loadExistingSessionBody());
}

Awaitable<void> AuthService::requestOTP(std::string email) {
    return onStrand(requestOTPBody(std::move(email)));
}

Awaitable<AuthSession> AuthService::verifyOTP(std::string email, std::string code) {
    return onStrand(verifyOTPBody(std::move(email), std::move(code)));
}

Awaitable<std::string> AuthService::getValidAccessToken() {
    return onStrand(getValidAccessTokenBody());
}

Awaitable<void> AuthService::signOut() {
    return onStrand(
        [](AuthService* self) -> Awaitable<void> { co_await self->endSession(); }(this));
}

Awaitable<bool> AuthService::storedSessionUndecided() {
    return onStrand([](AuthService* self) -> Awaitable<bool> {
        co_return self->storedSessionUnreadable_ == SecretStatus::interactionNotAllowed;
    }(this));
}

Awaitable<std::optional<std::int32_t>> AuthService::storedSessionUnreadable() {
    return onStrand([](AuthService* self) -> Awaitable<std::optional<std::int32_t>> {
        co_return self->storedSessionUnreadable_;
    }(this));
}

Awaitable<std::optional<AuthSession>> AuthService::currentSession() {
    return onStrand([](AuthService* self) -> Awaitable<std::optional<AuthSession>> {
        co_return self->currentSession_;
    }(this));
}

Awaitable<std::optional<AuthSession>> AuthService::loadExistingSessionBody() {
    logLine("🔵 [AuthService] Entered loadExistingSession");
    logLine("🔵 [AuthService] Loading from Keychain...");
    std::optional<std::string> data;
    storedSessionUnreadable_.reset();
    try {
        data = co_await keychain_->loadAsync(sessionKeychainKey);
    } catch (const AuthError& error) {
        logf("❌ [AuthService] Failed to load session from Keychain: {}", error.what());
        storedSessionUnreadable_ = error.keychainStatus();
        co_return std::nullopt;
    }
    logf("🔵 [AuthService] Keychain returned, hasData={}", flag(data.has_value()));
    if (!data) {
        logLine("🔵 [AuthService] No session in Keychain");
        co_return std::nullopt;
    }

    AuthSession stored;
    try {
        stored = AuthSession::fromJson(*data);
    } catch (const JsonShapeError& error) {
        logf("❌ [AuthService] Failed to decode stored session: {}", error.what());
        co_return std::nullopt;
    }
    auto now = options_.now();
    bool expired = stored.expiresAt <= now;
    bool nearExpiry = stored.expiresAt <= now + startupRefreshMargin;
    logf("🔵 [AuthService] Decoded session for {}, expired={}, expiresWithin300={}",
         stored.userEmail, flag(expired), flag(nearExpiry));
    currentSession_ = stored;
    ++generation_;
    if (!nearExpiry)
        co_return stored;

    if (expired)
        logf("🔵 [AuthService] Session expired, refreshing token via {}...", supabaseURL_);
    else
        logf("🔵 [AuthService] Session near expiry, proactively refreshing via {}...", supabaseURL_);
    std::exception_ptr failure;
    try {
        co_return co_await sharedRefresh();
    } catch (...) {
        failure = std::current_exception();
    }
    if (isCancellation(failure))
        std::rethrow_exception(failure);
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        // A refused refresh has already signed the user out; a session the server refuses must
        // not be handed out as if it were signed in.
        if (!expired && !isRefused(error)) {
            logf("⚠️ [AuthService] Proactive refresh failed, using current session: {}",
                 loggedRefreshFailure(error));
            co_return stored;
        }
        logf("❌ [AuthService] Failed to refresh expired session: {}", loggedRefreshFailure(error));
    } catch (...) {
        logLine("❌ [AuthService] Failed to refresh expired session: unknown error");
    }
    currentSession_.reset();
    ++generation_;
    co_return std::nullopt;
}

Awaitable<void> AuthService::requestOTPBody(std::string email) {
    Json body{{"email", std::move(email)}};
    auto request = buildRequest("/auth/v1/otp", std::nullopt, body);
    std::exception_ptr failure;
    try {
        co_await httpClient_->execute(std::move(request));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        throwAuthFailure(failure, AuthCall::otpRequest);
}

Awaitable<AuthSession> AuthService::verifyOTPBody(std::string email, std::string code) {
    auto unstored = std::exchange(unstoredSignIn_, std::nullopt);
    if (unstored && unstored->first == email &&
        options_.now() + refreshMargin < unstored->second.expiresAt) {
        co_await storeSignIn(std::move(email), unstored->second);
        co_return unstored->second;
    }
    const std::string address = email;
    Json body{{"email", std::move(email)}, {"token", std::move(code)}, {"type", "email"}};
    auto request = buildRequest("/auth/v1/verify", std::nullopt, body);
    std::string answer;
    std::exception_ptr failure;
    try {
        answer = co_await httpClient_->execute(std::move(request));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        throwAuthFailure(failure, AuthCall::verification);
    auto session = decodeSession(answer, options_.now());
    co_await storeSignIn(address, session);
    co_return session;
}

// Signed in only once the session is stored: otherwise the next start would ask to sign in again
// with nothing said now.
Awaitable<void> AuthService::storeSignIn(std::string email, AuthSession session) {
    try {
        co_await keychain_->saveAsync(sessionKeychainKey, session.toJson());
    } catch (const AuthError&) {
        unstoredSignIn_.emplace(std::move(email), std::move(session));
        throw;
    }
    currentSession_ = std::move(session);
    ++generation_;
}

Awaitable<std::string> AuthService::getValidAccessTokenBody() {
    if (!currentSession_)
        throw AuthError::noSession();
    if (options_.now() + refreshMargin < currentSession_->expiresAt)
        co_return currentSession_->accessToken;
    auto session = co_await sharedRefresh();
    co_return session.accessToken;
}

Awaitable<AuthSession> AuthService::sharedRefresh() {
    auto refresh = refresh_;
    if (!refresh) {
        refresh = std::make_shared<Refresh>(executor());
        refresh_ = refresh;
        // The refresh may run to its end right here, before anyone waits for it. It holds the
        // service: its callers may be gone (cancelled, or the program quitting) when it resumes.
        refresh->task = Task::spawn(executor(), runRefresh(shared_from_this(), refresh));
    }
    if (!refresh->done) {
        std::error_code woken;
        co_await refresh->finished.async_wait(asio::redirect_error(asio::use_awaitable, woken));
    }
    if (!refresh->done) // this caller was cancelled; the refresh goes on for the others
        throw std::system_error(asio::error::operation_aborted);
    if (refresh->error)
        std::rethrow_exception(refresh->error);
    co_return *refresh->session;
}

Awaitable<void> AuthService::runRefresh(std::shared_ptr<AuthService> self,
                                        std::shared_ptr<Refresh> refresh) {
    try {
        refresh->session = co_await self->performRefresh();
    } catch (...) {
        refresh->error = std::current_exception();
    }
    // Only sign-out cancels a refresh: its waiters learn that nobody is signed in any more.
    if (isCancellation(refresh->error))
        refresh->error = std::make_exception_ptr(AuthError::noSession());
    refresh->done = true;
    if (self->refresh_ == refresh)
        self->refresh_.reset();
    refresh->finished.cancel();
}

Awaitable<AuthSession> AuthService::performRefresh() {
    if (!currentSession_)
        throw AuthError::noSession();
    auto generation = generation_;
    Json body{{"refresh_token", currentSession_->refreshToken}};
    auto request = buildRequest("/auth/v1/token", "grant_type=refresh_token", body);
    std::string answer;
    std::exception_ptr failure;
    try {
        answer = co_await httpClient_->execute(std::move(request));
    } catch (...) {
        failure = std::current_exception();
    }
    if (isCancellation(failure))
        std::rethrow_exception(failure);
    if (generation != generation_) {
        // Signed out or signed in anew meanwhile: this late answer must not bring back the
        // session it was sent for.
        if (!currentSession_)
            throw AuthError::noSession();
        co_return *currentSession_;
    }
    if (failure) {
        if (isRefusal(failure)) {
            // Not endSession(): that would cancel this very refresh while the item is deleted.
            currentSession_.reset();
            ++generation_;
            co_await removeStoredSession();
            throw AuthError::sessionExpired();
        }
        throwAuthFailure(failure, AuthCall::refresh);
    }
    auto session = decodeSession(answer, options_.now());
    co_await adopt(session);
    co_return session;
}

HTTPRequest AuthService::buildRequest(const char* path, std::optional<std::string_view> query,
                                      const Json& body) const {
    HTTPRequest request;
    request.url = supabaseURL(supabaseURL_, path, query);
    request.method = "POST";
    request.timeout = options_.requestTimeout;
    request.setHeader("Content-Type", "application/json");
    request.setHeader("apikey", supabaseAnonKey_);
    request.setHeader("Authorization", "Bearer " + supabaseAnonKey_);
    request.body = json::dump(body);
    return request;
}

// A refreshed session changes in memory at once; the secret store follows on its own thread, where
// writes and deletions keep the order in which they were asked for.
Awaitable<void> AuthService::adopt(AuthSession session) {
    currentSession_ = session;
    ++generation_;
    try {
        co_await keychain_->saveAsync(sessionKeychainKey, session.toJson());
    } catch (const AuthError&) {
        // Logged by the store; the session lives on in memory until the next start.
    }
}

Awaitable<void> AuthService::endSession() {
    currentSession_.reset();
    unstoredSignIn_.reset();
    ++generation_;
    if (refresh_) {
        refresh_->task.cancel();
        refresh_.reset();
    }
    co_await removeStoredSession();
}

Awaitable<void> AuthService::removeStoredSession() {
    try {
        co_await keychain_->removeAsync(sessionKeychainKey);
    } catch (const AuthError& error) {
        logf("❌ [AuthService] Failed to delete session from Keychain: {}", error.what());
    }
}

} // namespace pennial
