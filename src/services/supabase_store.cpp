#include "services/supabase_store.hpp"

#include "base/log.hpp"
#include "services/auth_error.hpp"
#include "services/server_text.hpp"
#include "services/supabase_url.hpp"

#include <system_error>

namespace pennial {
namespace {

bool isClientError(const HTTPError& error) {
    return error.kind() == HTTPError::Kind::httpError && error.statusCode() >= 400 &&
           error.statusCode() <= 499 && error.statusCode() != 429;
}

// Logs why a pull failed. Cancellation is no failure and passes on.
void logPullFailure(std::exception_ptr failure, const char* what) {
    if (isCancellation(failure))
        std::rethrow_exception(failure);
    try {
        std::rethrow_exception(failure);
    } catch (const HTTPError& error) {
        if (error.kind() == HTTPError::Kind::httpError) {
            logf("❌ [SupabaseStore] Pull {} HTTP {}: {}", what, error.statusCode(),
                 quotedServerBody(error.data()));
            return;
        }
        logf("❌ [SupabaseStore] Pull {} failed: {}", what, error.what());
    } catch (const std::exception& error) {
        logf("❌ [SupabaseStore] Pull {} failed: {}", what, error.what());
    } catch (...) {
        logf("❌ [SupabaseStore] Pull {} failed: unknown error", what);
    }
}

std::string userQuery(const std::string& userId, const char* columns) {
    // The id is encoded: as it stands, a "&" or "#" in it would change the query.
    return "user_id=eq." + percentEncodeQueryValue(userId) + "&select=" + columns;
}

} // namespace

SupabaseStore::SupabaseStore(std::shared_ptr<HTTPClient> httpClient,
                             std::shared_ptr<AuthService> authService, std::string supabaseURL,
                             std::string supabaseAnonKey, SupabaseStoreOptions options)
    : httpClient_(std::move(httpClient)), authService_(std::move(authService)),
      supabaseURL_(std::move(supabaseURL)), supabaseAnonKey_(std::move(supabaseAnonKey)),
      options_(std::move(options)) {}

Awaitable<void> SupabaseStore::pushProfile(std::string displayNames, std::string writingContext) {
    return onStrand(pushProfileBody(std::move(displayNames), std::move(writingContext)));
}

Awaitable<SupabaseStore::PullResult<RemoteProfile>> SupabaseStore::pullProfile() {
    return onStrand(pullProfileBody());
}

Awaitable<void> SupabaseStore::pushCommands(std::vector<Command> commands) {
    return onStrand(pushCommandsBody(std::move(commands)));
}

Awaitable<SupabaseStore::PullResult<std::vector<Command>>> SupabaseStore::pullCommands() {
    return onStrand(pullCommandsBody());
}

Awaitable<void> SupabaseStore::pushProfileBody(std::string displayNames,
                                               std::string writingContext) {
    auto user = co_await signedInUser();
    auto request = buildRequest("POST", "/rest/v1/user_profiles", std::nullopt, user.accessToken);
    request.setHeader("Prefer", "resolution=merge-duplicates");
    request.body = json::dump(profilePushBody(user.userId, displayNames, writingContext));
    co_await executeWithRetry(std::move(request));
    logLine("✅ [SupabaseStore] Profile pushed");
}

Awaitable<void> SupabaseStore::pushCommandsBody(std::vector<Command> commands) {
    auto user = co_await signedInUser();
    auto request =
        buildRequest("POST", "/rest/v1/rpc/upsert_user_commands", std::nullopt, user.accessToken);
    request.body = json::dump(commandsPushBody(commands));
    co_await executeWithRetry(std::move(request));
    logLine("✅ [SupabaseStore] Commands pushed");
}

Awaitable<SupabaseStore::PullResult<RemoteProfile>> SupabaseStore::pullProfileBody() {
    std::exception_ptr failure;
    try {
        auto user = co_await signedInUser();
        auto request = buildRequest(
            "GET", "/rest/v1/user_profiles",
            userQuery(user.userId, "user_display_names,user_writing_context"), user.accessToken);
        auto answer = co_await httpClient_->execute(std::move(request));
        auto profile = decodeProfileRows(answer);
        if (!profile)
            co_return PullResult<RemoteProfile>::noRemoteData();
        co_return PullResult<RemoteProfile>::success(std::move(*profile));
    } catch (...) {
        failure = std::current_exception();
    }
    logPullFailure(failure, "profile");
    co_return PullResult<RemoteProfile>::failure();
}

Awaitable<SupabaseStore::PullResult<std::vector<Command>>> SupabaseStore::pullCommandsBody() {
    std::exception_ptr failure;
    try {
        auto user = co_await signedInUser();
        auto request = buildRequest("GET", "/rest/v1/user_commands",
                                    userQuery(user.userId, "command_id,name,content,metadata,mode"),
                                    user.accessToken);
        auto answer = co_await httpClient_->execute(std::move(request));
        co_return PullResult<std::vector<Command>>::success(decodeCommandRows(answer));
    } catch (...) {
        failure = std::current_exception();
    }
    logPullFailure(failure, "commands");
    co_return PullResult<std::vector<Command>>::failure();
}

Awaitable<SupabaseStore::SignedInUser> SupabaseStore::signedInUser() {
    // Refreshes a token close to expiry; the session read next then holds the fresh one.
    co_await authService_->getValidAccessToken();
    auto session = co_await authService_->currentSession();
    if (!session)
        throw AuthError::noSession();
    co_return SignedInUser{session->userId, session->accessToken};
}

Awaitable<std::string> SupabaseStore::executeWithRetry(HTTPRequest request) {
    auto method = request.method.empty() ? std::string("?") : request.method;
    auto path = request.url.empty() ? std::string("?") : urlPath(request.url);
    std::exception_ptr last;
    for (int send = 0; send < options_.maxRetries; ++send) {
        std::exception_ptr failure;
        try {
            auto attempt = request;
            co_return co_await httpClient_->execute(std::move(attempt));
        } catch (...) {
            failure = std::current_exception();
        }
        // A cancelled push stops here: cancellation is the caller's decision, not a failure.
        if (isCancellation(failure))
            std::rethrow_exception(failure);
        try {
            std::rethrow_exception(failure);
        } catch (const HTTPError& error) {
            if (isClientError(error)) {
                logf("❌ [SupabaseStore] {} {} → HTTP {}: {}", method, path, error.statusCode(),
                     quotedServerBody(error.data()));
                throw;
            }
            logf("⚠️ [SupabaseStore] {} {} attempt {}/{} failed: {}", method, path, send + 1,
                 options_.maxRetries, error.what());
        } catch (const std::exception& error) {
            logf("⚠️ [SupabaseStore] {} {} attempt {}/{} failed: {}", method, path, send + 1,
                 options_.maxRetries, error.what());
        } catch (...) {
            logf("⚠️ [SupabaseStore] {} {} attempt {}/{} failed: unknown error", method, path,
                 send + 1, options_.maxRetries);
        }
        last = failure;
        if (send + 1 < options_.maxRetries &&
            co_await options_.sleep(options_.backoff.at(send)) == SleepResult::cancelled)
            throw std::system_error(asio::error::operation_aborted);
    }
    std::rethrow_exception(last);
}

HTTPRequest SupabaseStore::buildRequest(const char* method, const char* path,
                                        std::optional<std::string> query,
                                        const std::string& accessToken) const {
    HTTPRequest request;
    request.url = supabaseURL(supabaseURL_, path, query);
    request.method = method;
    request.timeout = std::chrono::seconds(60);
    request.setHeader("Content-Type", "application/json");
    request.setHeader("apikey", supabaseAnonKey_);
    request.setHeader("Authorization", "Bearer " + accessToken);
    return request;
}

} // namespace pennial
