#pragma once
// Produces the text around the focused element: runs the strategies in a fixed order within the
// capture's deadline and takes the first result long enough to be useful. An application for which
// every strategy fails is reported once per run, with the anonymized shape of its window's tree,
// through a hook the coordinator connects to telemetry.

#include "platform/accessibility.hpp"
#include "text/anonymized_tree_node.hpp"
#include "text/capture_scope.hpp"
#include "text/context_strategy.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pennial {

class ContextStrategyRouter {
public:
    // Called on the capturing thread, outside the router's lock: must neither block nor need the
    // main thread.
    using UnknownAppHook = std::function<void(
        const std::string& bundleIdentifier, const std::string& appName,
        const std::string& strategyUsed, const std::vector<AnonymizedTreeNode>& anonymizedTree)>;

    struct Result {
        std::optional<std::string> text;
        std::string strategyUsed; // "none" without text
    };

    static constexpr std::size_t minimumUsableLength = 200; // characters
    static constexpr int anonymizedTreeMaxElements = 200;

    // The chain TextMarker, Baseline, ParentWalkV2, BatchTreeWalk.
    explicit ContextStrategyRouter(std::shared_ptr<Accessibility> accessibility);
    ContextStrategyRouter(std::shared_ptr<Accessibility> accessibility,
                          std::vector<std::unique_ptr<ContextStrategy>> chain);

    const std::vector<std::unique_ptr<ContextStrategy>>& defaultChain() const { return chain_; }

    Result captureSurroundingText(const AXElement& near, Pid pid,
                                  const std::string& bundleIdentifier, const std::string& appName,
                                  const CaptureDeadline& deadline);
    // Within a capture's scope, whose answers the strategies share.
    Result captureSurroundingText(const AXElement& near, Pid pid,
                                  const std::string& bundleIdentifier, const std::string& appName,
                                  const CaptureScope& scope);

    void setOnUnknownApp(UnknownAppHook hook);

private:
    void reportUnknownApp(const std::string& bundleIdentifier, const std::string& appName,
                          const std::string& strategyUsed, Pid pid, const CaptureScope& scope);

    std::shared_ptr<Accessibility> accessibility_;
    std::vector<std::unique_ptr<ContextStrategy>> chain_;
    std::mutex lock_; // guards the two members below
    std::set<std::string> reportedBundleIDs_;
    UnknownAppHook onUnknownApp_;
};

} // namespace pennial
