#include "text/context_strategy_router.hpp"

#include "base/log.hpp"
#include "base/unicode.hpp"
#include "text/ax_tree_helpers.hpp"
#include "text/baseline_strategy.hpp"
#include "text/batch_tree_walk_strategy.hpp"
#include "text/parent_walk_v2_strategy.hpp"
#include "text/text_marker_strategy.hpp"

namespace pennial {

namespace {

std::vector<std::unique_ptr<ContextStrategy>> standardChain() {
    std::vector<std::unique_ptr<ContextStrategy>> chain;
    chain.push_back(std::make_unique<TextMarkerStrategy>());
    chain.push_back(std::make_unique<BaselineStrategy>());
    chain.push_back(std::make_unique<ParentWalkV2Strategy>());
    chain.push_back(std::make_unique<BatchTreeWalkStrategy>());
    return chain;
}

} // namespace

ContextStrategyRouter::ContextStrategyRouter(std::shared_ptr<Accessibility> accessibility)
    : ContextStrategyRouter(std::move(accessibility), standardChain()) {}

ContextStrategyRouter::ContextStrategyRouter(std::shared_ptr<Accessibility> accessibility,
                                             std::vector<std::unique_ptr<ContextStrategy>> chain)
    : accessibility_(std::move(accessibility)), chain_(std::move(chain)) {}

void ContextStrategyRouter::setOnUnknownApp(UnknownAppHook hook) {
    std::lock_guard lock(lock_);
    onUnknownApp_ = std::move(hook);
}

ContextStrategyRouter::Result ContextStrategyRouter::captureSurroundingText(
    const AXElement& near, Pid pid, const std::string& bundleIdentifier, const std::string& appName,
    const CaptureDeadline& deadline) {
    CaptureScope scope(*accessibility_, deadline, CaptureScope::Answers::keepFirst);
    scope.setFocusedElement(near);
    return captureSurroundingText(near, pid, bundleIdentifier, appName, scope);
}

ContextStrategyRouter::Result ContextStrategyRouter::captureSurroundingText(
    const AXElement& near, Pid pid, const std::string& bundleIdentifier, const std::string& appName,
    const CaptureScope& scope) {
    for (const auto& strategy : chain_) {
        auto text = strategy->captureSurroundingText(near, pid, scope);
        if (text) {
            auto count = unicode::graphemeCount(*text);
            if (count >= minimumUsableLength) {
                logf("🔍 [ContextRouter] '{}' → {} → {} chars", appName, strategy->name(), count);
                return {std::move(text), std::string(strategy->name())};
            }
        }
        // A slow application is not one whose context cannot be read: it is not reported.
        if (scope.expired()) {
            logf("⏱️ [ContextRouter] '{}' → deadline reached during {}", appName,
                 strategy->name());
            return {std::nullopt, "none"};
        }
    }
    logf("🔍 [ContextRouter] '{}' → all strategies failed", appName);
    reportUnknownApp(bundleIdentifier, appName, "none", pid, scope);
    return {std::nullopt, "none"};
}

void ContextStrategyRouter::reportUnknownApp(const std::string& bundleIdentifier,
                                             const std::string& appName,
                                             const std::string& strategyUsed, Pid pid,
                                             const CaptureScope& scope) {
    bool first;
    UnknownAppHook hook;
    {
        std::lock_guard lock(lock_);
        first = reportedBundleIDs_.insert(bundleIdentifier).second;
        hook = onUnknownApp_;
    }
    if (!first || !hook)
        return;
    auto tree = AXTreeHelpers::captureAnonymizedTree(scope, pid, anonymizedTreeMaxElements);
    hook(bundleIdentifier, appName, strategyUsed, tree);
}

} // namespace pennial
