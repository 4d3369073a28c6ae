#include "text/batch_tree_walk_strategy.hpp"

#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/ax_reads.hpp"
#include "text/ax_tree_helpers.hpp"

namespace pennial {

namespace attribute = ax::attribute;

namespace {

constexpr int walkDepth = 30;
constexpr int maxElements = 500;

const std::vector<std::string>& batchAttributes() {
    static const std::vector<std::string> names{
        std::string(attribute::role), std::string(attribute::value), std::string(attribute::title),
        std::string(attribute::description), std::string(attribute::children)};
    return names;
}

void walk(const CaptureScope& scope, const AXElement& element, int depth, TextHarvest& harvest,
          const AXElement& focused) {
    if (depth < 1 || harvest.totalLength >= context_limits::maxTextCharacters ||
        harvest.elementCount >= maxElements || element == focused || scope.expired())
        return;
    ++harvest.elementCount;
    scope.setTimeout(element, context_limits::harvestElementTimeout);
    auto values = scope.readMany(element, batchAttributes());
    if (!values.ok() || values.value()->size() != batchAttributes().size())
        return;
    const auto& results = *values.value();

    auto role = ax::stringOf(results[0]);
    if (role && (*role == ax::role::image || *role == ax::role::scrollBar ||
                 *role == ax::role::progressIndicator))
        return;
    if (!AXTreeHelpers::mayHoldSecureText(scope, element, role)) {
        std::optional<std::string> text;
        for (std::size_t i = 1; i <= 3 && !text; ++i)
            text = ax::stringOf(results[i]);
        if (text && !text->empty()) {
            auto trimmed = unicode::trimWhitespaceAndNewlines(*text);
            if (!trimmed.empty() && !harvest.seen.contains(trimmed)) {
                harvest.seen.insert(trimmed);
                harvest.totalLength += unicode::graphemeCount(trimmed);
                harvest.texts.push_back(std::move(trimmed));
            }
        }
    }

    auto children = ax::elementsOf(results[4]);
    if (!children)
        return;
    for (const auto& child : *children) {
        if (harvest.totalLength >= context_limits::maxTextCharacters ||
            harvest.elementCount >= maxElements)
            break;
        walk(scope, child, depth - 1, harvest, focused);
    }
}

} // namespace

std::optional<std::string>
BatchTreeWalkStrategy::captureSurroundingText(const AXElement& near, Pid pid,
                                              const CaptureScope& scope) const {
    for (const auto& root : AXTreeHelpers::findContentRoots(scope, pid)) {
        if (scope.expired())
            break;
        TextHarvest harvest;
        if (!AXTreeHelpers::collectTextsInBatch(scope, root, harvest, near, maxElements))
            walk(scope, root, walkDepth, harvest, near);
        auto text = harvest.joined();
        if (!text.empty())
            return unicode::graphemePrefix(text, context_limits::maxTextCharacters);
    }
    return std::nullopt;
}

} // namespace pennial
