#pragma once
// The one place that asks the product backend to transform text: builds the request, signs it
// with the user's token, retries failures of the network itself, and decodes the answer.

#include "base/runtime.hpp"
#include "base/task.hpp"
#include "services/access_token_provider.hpp"
#include "services/http_client.hpp"
#include "services/transform_response.hpp"
#include "text/app_context.hpp"
#include "text/command.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace pennial {

class TransformService : public Actor {
public:
    // How the service waits between attempts; tests pass one that records the waits.
    using Sleep = std::function<Awaitable<SleepResult>(std::chrono::steady_clock::duration)>;

    static constexpr int maxAttempts = 3;

    // timeout: seconds per send.
    TransformService(HTTPClient& httpClient, std::string apiBaseURL, double timeout,
                     AccessTokenProvider& authService, Sleep sleep = sleepFor);

    // Throws HTTPError (invalidURL, httpError, decodingError, timeout, the third networkError),
    // AuthError (from the token, or sessionExpired for a 401), or operation_aborted when the
    // caller cancels: a cancelled call is never retried.
    Awaitable<TransformResponse> transform(std::string text, Command command,
                                           std::optional<AppContext> context,
                                           std::optional<std::string> userDisplayNames,
                                           std::optional<std::string> userWritingContext);

private:
    Awaitable<TransformResponse> send(HTTPRequest request);

    HTTPClient& httpClient_;
    const std::string apiBaseURL_;
    const std::chrono::milliseconds timeout_;
    AccessTokenProvider& authService_;
    const Sleep sleep_;
};

} // namespace pennial
