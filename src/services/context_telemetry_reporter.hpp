#pragma once
// Tells the product backend about an application whose context could not be captured, with the
// shape of its accessibility tree and none of its text. Fire and forget: sent once, failures only
// logged.

#include "base/runtime.hpp"
#include "services/access_token_provider.hpp"
#include "services/http_client.hpp"
#include "text/anonymized_tree_node.hpp"

#include <chrono>
#include <string>
#include <vector>

namespace pennial {

class ContextTelemetryReporter : public Actor {
public:
    static constexpr std::chrono::seconds timeout{10};

    ContextTelemetryReporter(HTTPClient& httpClient, std::string apiBaseURL,
                             AccessTokenProvider& authService);

    // Never throws; a cancelled report ends quietly.
    Awaitable<void> report(std::string bundleIdentifier, std::string appName,
                           std::string strategyUsed,
                           std::vector<AnonymizedTreeNode> anonymizedTree);

private:
    Awaitable<void> send(HTTPRequest request, std::string bundleIdentifier, std::string appName);

    HTTPClient& httpClient_;
    const std::string apiBaseURL_;
    AccessTokenProvider& authService_;
};

} // namespace pennial
