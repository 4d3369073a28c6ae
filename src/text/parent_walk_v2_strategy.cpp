#include "text/parent_walk_v2_strategy.hpp"

#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/ax_reads.hpp"
#include "text/ax_tree_helpers.hpp"

#include <algorithm>

namespace pennial {

namespace attribute = ax::attribute;

namespace {
constexpr std::chrono::duration<double> focusedAndContainerTimeout{0.3};
constexpr std::chrono::duration<double> ancestorTimeout{0.1};
constexpr int maxAncestors = 20;
constexpr int harvestDepth = 25;
constexpr int harvestMaxElements = 500;
} // namespace

std::size_t ParentWalkV2Strategy::containerIndex(std::size_t ancestorCount) {
    std::size_t index = 6 * ancestorCount > 29 ? 6 * ancestorCount / 10 : 2;
    return std::min(index, ancestorCount - 1);
}

std::optional<std::string>
ParentWalkV2Strategy::captureSurroundingText(const AXElement& near, Pid,
                                             const CaptureScope& scope) const {
    if (scope.expired())
        return std::nullopt;
    scope.setTimeout(near, focusedAndContainerTimeout);
    std::vector<AXElement> ancestors;
    std::optional<std::size_t> landmark;
    AXElement current = near;
    for (int step = 0; step < maxAncestors && !scope.expired(); ++step) {
        auto parent = scope.readElement(current, attribute::parent);
        if (!parent)
            break;
        scope.setTimeout(*parent, ancestorTimeout);
        auto role = scope.readString(*parent, attribute::role);
        if (role == ax::role::window || role == ax::role::application)
            break;
        ancestors.push_back(*parent);
        if (scope.readString(*parent, attribute::subrole) == ax::subrole::landmarkMain) {
            landmark = ancestors.size() - 1;
            break;
        }
        // Above a page lie the browser's own buttons and address bar.
        if (role == ax::role::webArea)
            break;
        current = *parent;
    }
    if (ancestors.empty())
        return std::nullopt;

    const auto& container = ancestors[landmark.value_or(containerIndex(ancestors.size()))];
    scope.setTimeout(container, focusedAndContainerTimeout);
    TextHarvest harvest;
    if (!AXTreeHelpers::collectTextsInBatch(scope, container, harvest, near, harvestMaxElements,
                                            true))
        AXTreeHelpers::collectContentText(scope, container, harvest, near, harvestDepth,
                                          harvestMaxElements);
    auto text = harvest.joined();
    if (text.empty())
        return std::nullopt;
    return unicode::graphemePrefix(text, context_limits::maxTextCharacters);
}

} // namespace pennial
