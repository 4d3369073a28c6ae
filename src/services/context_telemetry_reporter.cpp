#include "services/context_telemetry_reporter.hpp"

#include "base/log.hpp"
#include "base/task.hpp"
#include "services/url.hpp"

namespace pennial {

ContextTelemetryReporter::ContextTelemetryReporter(HTTPClient& httpClient, std::string apiBaseURL,
                                                   AccessTokenProvider& authService)
    : httpClient_(httpClient), apiBaseURL_(std::move(apiBaseURL)), authService_(authService) {}

Awaitable<void> ContextTelemetryReporter::report(std::string bundleIdentifier, std::string appName,
                                                 std::string strategyUsed,
                                                 std::vector<AnonymizedTreeNode> anonymizedTree) {
    HTTPRequest request;
    request.url = apiBaseURL_ + "/api/context-telemetry";
    if (!isValidURL(request.url))
        co_return; // nothing to send and nothing to say
    request.method = "POST";
    request.setHeader("Content-Type", "application/json");
    request.timeout = timeout;
    OrderedJson tree = OrderedJson::array();
    for (const auto& node : anonymizedTree)
        tree.push_back(node.toJson());
    OrderedJson payload;
    payload["bundleIdentifier"] = bundleIdentifier;
    payload["appName"] = appName;
    payload["strategyUsed"] = std::move(strategyUsed);
    payload["tree"] = std::move(tree);
    request.body = json::dump(payload);
    co_await onStrand(send(std::move(request), std::move(bundleIdentifier), std::move(appName)));
}

Awaitable<void> ContextTelemetryReporter::send(HTTPRequest request, std::string bundleIdentifier,
                                               std::string appName) {
    std::exception_ptr failure;
    try {
        auto token = co_await authService_.getValidAccessToken();
        request.setHeader("Authorization", "Bearer " + token);
        co_await httpClient_.execute(request);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        logf("📡 [ContextTelemetry] Reported unknown app: {} ({})", appName, bundleIdentifier);
        co_return;
    }
    if (isCancellation(failure))
        co_return;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        logf("⚠️ [ContextTelemetry] Failed to report: {}", error.what());
    } catch (...) {
        logf("⚠️ [ContextTelemetry] Failed to report: unknown error");
    }
}

} // namespace pennial
