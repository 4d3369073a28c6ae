#include "text/baseline_strategy.hpp"

#include "base/unicode.hpp"
#include "text/ax_tree_helpers.hpp"

namespace pennial {

namespace {
constexpr int harvestDepth = 30;
} // namespace

std::optional<std::string>
BaselineStrategy::captureSurroundingText(const AXElement& near, Pid pid,
                                         const CaptureScope& scope) const {
    for (const auto& root : AXTreeHelpers::findContentRoots(scope, pid)) {
        if (scope.expired())
            break;
        auto text = AXTreeHelpers::getFullTextViaStringForRange(scope, root);
        if (!text || text->empty()) {
            TextHarvest harvest;
            if (!AXTreeHelpers::collectTextsInBatch(scope, root, harvest, near,
                                                    context_limits::staticHarvestMaxElements))
                AXTreeHelpers::collectStaticText(scope, root, harvest, near, harvestDepth);
            text = harvest.joined();
        }
        if (!text->empty())
            return unicode::graphemePrefix(*text, context_limits::maxTextCharacters);
    }
    return std::nullopt;
}

} // namespace pennial
