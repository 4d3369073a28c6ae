#include "text/ax_tree_helpers.hpp"

#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/ax_reads.hpp"

#include <algorithm>
#include <deque>
#include <utility>

namespace pennial {

namespace attribute = ax::attribute;
using context_limits::maxTextCharacters;

std::string TextHarvest::joined() const {
    std::string joined;
    for (const auto& text : texts) {
        if (!joined.empty())
            joined += '\n';
        joined += text;
    }
    return joined;
}

namespace AXTreeHelpers {

namespace {

// How far below its window the page is looked for: browsers nest it in panels of their own.
constexpr int webAreaSearchDepth = 10;
constexpr int webAreaSearchElements = 400;
// As deep as the harvests of a window go.
constexpr int harvestLevels = 30;

bool isOneOf(const std::optional<std::string>& value, std::initializer_list<std::string_view> set) {
    return value && std::find(set.begin(), set.end(), *value) != set.end();
}

enum class HarvestKind { staticText, content };

void harvestText(const CaptureScope& scope, const AXElement& element, TextHarvest& harvest,
                 const AXElement& focusedElement, int maxDepth, int maxElements, HarvestKind kind) {
    if (maxDepth < 1 || harvest.totalLength >= maxTextCharacters ||
        harvest.elementCount >= maxElements || element == focusedElement || scope.expired())
        return;
    ++harvest.elementCount;
    scope.setTimeout(element, context_limits::harvestElementTimeout);

    auto elementRole = scope.readString(element, attribute::role);
    if (isOneOf(elementRole, {ax::role::image, ax::role::scrollBar, ax::role::progressIndicator}))
        return;
    std::optional<std::string> elementSubrole;
    if (kind == HarvestKind::content) {
        if (isOneOf(elementRole, {ax::role::toolbar, ax::role::menuBar, ax::role::menu}))
            return;
        elementSubrole = scope.readString(element, attribute::subrole);
        if (isOneOf(elementSubrole, {ax::subrole::landmarkBanner, ax::subrole::landmarkNavigation}))
            return;
    }

    if (!mayHoldSecureText(scope, element, elementRole, elementSubrole)) {
        auto text = extractText(scope, element);
        if (text && !text->empty() && !harvest.seen.contains(*text)) {
            harvest.seen.insert(*text);
            harvest.totalLength += unicode::graphemeCount(*text);
            harvest.texts.push_back(std::move(*text));
        }
    }

    auto children = scope.readElements(element, attribute::children);
    if (!children)
        return;
    for (const auto& child : *children) {
        if (harvest.totalLength >= maxTextCharacters || harvest.elementCount >= maxElements)
            break;
        harvestText(scope, child, harvest, focusedElement, maxDepth - 1, maxElements, kind);
    }
}

// The walk asks for every element's role, texts and children one request at a time; where the
// platform reads a subtree in a few round trips, the walk's requests are answered from that.
void readAheadForHarvest(const CaptureScope& scope, const AXElement& element,
                         const AXElement& focusedElement, int maxDepth, int maxElements,
                         HarvestKind kind) {
    AXSubtreeLimits limits{maxDepth,
                           maxElements,
                           focusedElement,
                           {std::string(ax::role::image), std::string(ax::role::scrollBar),
                            std::string(ax::role::progressIndicator)}};
    if (kind == HarvestKind::content)
        for (auto role : {ax::role::toolbar, ax::role::menuBar, ax::role::menu})
            limits.leafRoles.emplace_back(role);
    scope.setTimeout(element, context_limits::wholeTextReadTimeout);
    scope.readAhead(element, limits);
}

std::optional<AXElement> findElement(const CaptureScope& scope, std::string_view attributeName,
                                     std::string_view wanted, const AXElement& root, int maxDepth,
                                     int maxVisited) {
    // Where the platform searches in one request, the first element the walk below would meet:
    // the shallowest, and of those the first in document order.
    auto found = scope.findElements(root, wanted, attributeName == attribute::subrole, maxDepth);
    if (found.ok()) {
        const AXFoundElement* first = nullptr;
        for (const auto& candidate : *found.value())
            if (candidate.depth < maxDepth && (!first || candidate.depth < first->depth))
                first = &candidate;
        return first ? std::optional(first->element) : std::nullopt;
    }
    if (found.error() == AXError::cannotComplete)
        return std::nullopt;
    // The search walks what a harvest will walk next: read for both at once.
    readAheadForHarvest(scope, root, scope.focusedElement(), harvestLevels,
                        context_limits::staticHarvestMaxElements, HarvestKind::staticText);
    std::deque<std::pair<AXElement, int>> queue{{root, 0}};
    int visited = 0;
    while (!queue.empty() && !scope.expired()) {
        auto [element, depth] = std::move(queue.front());
        queue.pop_front();
        if (depth >= maxDepth)
            continue;
        if (++visited > maxVisited)
            return std::nullopt;
        scope.setTimeout(element, context_limits::searchElementTimeout);
        if (scope.readString(element, attributeName) == wanted)
            return element;
        if (auto children = scope.readElements(element, attribute::children))
            for (auto& child : *children)
                queue.emplace_back(std::move(child), depth + 1);
    }
    return std::nullopt;
}

std::optional<AXElement> focusedWindow(const CaptureScope& scope, Pid pid) {
    auto application = scope.applicationElement(pid);
    scope.setTimeout(application, context_limits::applicationAndWindowTimeout);
    auto window = scope.readElement(application, attribute::focusedWindow);
    if (window)
        scope.setTimeout(*window, context_limits::applicationAndWindowTimeout);
    return window;
}

void walkAnonymized(const CaptureScope& scope, const AXElement& element, int depth, int maxElements,
                    std::vector<AnonymizedTreeNode>& nodes) {
    if (static_cast<int>(nodes.size()) >= maxElements ||
        depth >= context_limits::anonymizedTreeLevels || scope.expired())
        return;
    scope.setTimeout(element, context_limits::anonymizedElementTimeout);
    AnonymizedTreeNode node;
    node.role = scope.readString(element, attribute::role);
    node.subrole = scope.readString(element, attribute::subrole);
    node.depth = depth;
    auto children = scope.readElements(element, attribute::children);
    node.childCount = children ? static_cast<int>(children->size()) : 0;
    nodes.push_back(std::move(node));
    if (!children)
        return;
    for (const auto& child : *children) {
        if (static_cast<int>(nodes.size()) >= maxElements)
            break;
        walkAnonymized(scope, child, depth + 1, maxElements, nodes);
    }
}

} // namespace

std::optional<std::string> extractText(const CaptureScope& scope, const AXElement& element) {
    for (auto name : {attribute::value, attribute::title, attribute::description}) {
        auto text = scope.readString(element, name);
        if (!text)
            continue;
        auto trimmed = unicode::trimWhitespaceAndNewlines(*text);
        if (!trimmed.empty())
            return trimmed;
    }
    return std::nullopt;
}

bool mayHoldSecureText(const CaptureScope& scope, const AXElement& element,
                       const std::optional<std::string>& role,
                       const std::optional<std::string>& subrole) {
    if (!role || *role == ax::subrole::secureTextField || subrole == ax::subrole::secureTextField)
        return true;
    if (*role != ax::role::textField || subrole)
        return false;
    return scope.readString(element, attribute::subrole) == ax::subrole::secureTextField;
}

void collectStaticText(const CaptureScope& scope, const AXElement& element, TextHarvest& harvest,
                       const AXElement& focusedElement, int maxDepth, int maxElements) {
    readAheadForHarvest(scope, element, focusedElement, maxDepth, maxElements,
                        HarvestKind::staticText);
    harvestText(scope, element, harvest, focusedElement, maxDepth, maxElements,
                HarvestKind::staticText);
}

void collectContentText(const CaptureScope& scope, const AXElement& element, TextHarvest& harvest,
                        const AXElement& focusedElement, int maxDepth, int maxElements) {
    readAheadForHarvest(scope, element, focusedElement, maxDepth, maxElements,
                        HarvestKind::content);
    harvestText(scope, element, harvest, focusedElement, maxDepth, maxElements,
                HarvestKind::content);
}

bool collectTextsInBatch(const CaptureScope& scope, const AXElement& element, TextHarvest& harvest,
                         const AXElement& focusedElement, int maxElements, bool contentOnly) {
    scope.setTimeout(element, context_limits::wholeTextReadTimeout);
    auto texts = scope.collectTexts(element, focusedElement, maxElements, contentOnly);
    if (!texts.ok())
        return false;
    for (auto& text : *texts.value()) {
        if (harvest.totalLength >= maxTextCharacters)
            break;
        ++harvest.elementCount;
        auto trimmed = unicode::trimWhitespaceAndNewlines(text);
        if (trimmed.empty() || harvest.seen.contains(trimmed))
            continue;
        harvest.seen.insert(trimmed);
        harvest.totalLength += unicode::graphemeCount(trimmed);
        harvest.texts.push_back(std::move(trimmed));
    }
    return true;
}

std::optional<AXElement> findElementWithRole(const CaptureScope& scope, std::string_view wanted,
                                             const AXElement& root, int maxDepth, int maxVisited) {
    return findElement(scope, attribute::role, wanted, root, maxDepth, maxVisited);
}

std::optional<AXElement> findElementWithSubrole(const CaptureScope& scope, std::string_view wanted,
                                                const AXElement& root, int maxDepth,
                                                int maxVisited) {
    return findElement(scope, attribute::subrole, wanted, root, maxDepth, maxVisited);
}

std::vector<AXElement> findContentRoots(const CaptureScope& scope, Pid pid) {
    auto window = focusedWindow(scope, pid);
    if (!window)
        return {};
    std::vector<AXElement> roots;
    // A browser may nest its page in several panels of its own.
    if (auto webArea = findElementWithRole(scope, ax::role::webArea, *window, webAreaSearchDepth,
                                           webAreaSearchElements)) {
        if (auto main = findElementWithSubrole(scope, ax::subrole::landmarkMain, *webArea, 10, 500))
            roots.push_back(std::move(*main));
        // Around a page, the window holds only the browser's own buttons and address bar.
        roots.push_back(std::move(*webArea));
        return roots;
    }
    // A word processor's field is one paragraph of its document: the paragraphs around it are
    // what the user writes about, the window's menus and toolbars are not.
    scope.setTimeout(scope.focusedElement(), context_limits::applicationAndWindowTimeout);
    if (auto document = scope.readElement(scope.focusedElement(), attribute::parent);
        document && scope.readString(*document, attribute::role) == ax::role::documentText)
        roots.push_back(std::move(*document));
    roots.push_back(std::move(*window));
    return roots;
}

std::optional<std::string> getFullTextViaStringForRange(const CaptureScope& scope,
                                                        const AXElement& element) {
    scope.setTimeout(element, context_limits::wholeTextReadTimeout);
    auto count = scope.readInteger(element, attribute::numberOfCharacters);
    if (!count || *count < 1)
        return std::nullopt;
    AXRange range{0, std::min<std::int64_t>(*count, maxTextCharacters)};
    auto result = scope.readParameterized(element, ax::parameterized::stringForRange, range);
    return result.ok() ? result.value()->asString() : std::nullopt;
}

std::vector<AnonymizedTreeNode> captureAnonymizedTree(const CaptureScope& scope, Pid pid,
                                                      int maxElements) {
    auto window = focusedWindow(scope, pid);
    if (!window)
        return {};
    std::vector<AnonymizedTreeNode> nodes;
    walkAnonymized(scope, *window, 0, maxElements, nodes);
    return nodes;
}

} // namespace AXTreeHelpers
} // namespace pennial
