#include "services/transform_service.hpp"

#include "base/log.hpp"
#include "services/auth_error.hpp"
#include "services/transform_request.hpp"
#include "services/url.hpp"

#include <system_error>

namespace pennial {

TransformService::TransformService(HTTPClient& httpClient, std::string apiBaseURL, double timeout,
                                   AccessTokenProvider& authService, Sleep sleep)
    : httpClient_(httpClient), apiBaseURL_(std::move(apiBaseURL)),
      timeout_(std::chrono::milliseconds(std::int64_t(timeout * 1000))), authService_(authService),
      sleep_(std::move(sleep)) {}

Awaitable<TransformResponse>
TransformService::transform(std::string text, Command command, std::optional<AppContext> context,
                            std::optional<std::string> userDisplayNames,
                            std::optional<std::string> userWritingContext) {
    TransformRequest payload{std::move(text),
                             command.name,
                             command.content,
                             modeName(command.replaceText),
                             std::move(context),
                             std::move(userDisplayNames),
                             std::move(userWritingContext)};
    HTTPRequest request;
    request.url = apiBaseURL_ + "/api/transform"; // the base address is used as it stands
    request.method = "POST";
    request.setHeader("Content-Type", "application/json");
    request.timeout = timeout_;
    request.body = json::dump(payload.toJson());
    if (!isValidURL(request.url))
        throw HTTPError::invalidURL(); // nothing is sent
    co_return co_await onStrand(send(std::move(request)));
}

Awaitable<TransformResponse> TransformService::send(HTTPRequest request) {
    // One token per call, fetched after the body is built; every attempt sends the same request.
    auto token = co_await authService_.getValidAccessToken();
    request.setHeader("Authorization", "Bearer " + token);

    for (int attempt = 0;; ++attempt) {
        std::string body;
        bool retry = false;
        try {
            body = co_await httpClient_.execute(request);
        } catch (const HTTPError& error) {
            if (error.kind() == HTTPError::Kind::networkError && attempt + 1 < maxAttempts)
                retry = true;
            else if (error.kind() == HTTPError::Kind::httpError && error.statusCode() == 401)
                throw AuthError::sessionExpired();
            else
                throw;
        }
        if (retry) {
            auto delay = std::chrono::seconds(1 << attempt);
            logf("⚠️ [TransformService] Network error on attempt {}, retrying in {:.1f}s...",
                 attempt + 1, double(delay.count()));
            if (co_await sleep_(delay) == SleepResult::cancelled)
                throw std::system_error(asio::error::operation_aborted);
            continue;
        }

        TransformResponse response;
        try {
            response = TransformResponse::fromJson(json::parse(body));
        } catch (const JsonShapeError& error) {
            throw HTTPError::decodingError(error.what());
        }
        if (attempt > 0)
            logf("✅ [TransformService] Request succeeded after {} retries", attempt);
        co_return response;
    }
}

} // namespace pennial
