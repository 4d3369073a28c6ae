#pragma once
// Bounded walks over another application's accessibility tree, shared by the context strategies
// and the router: the text of one element, harvests of the visible text under a container (the
// focused field, page chrome and password fields left out), the content roots of the focused
// window, a whole text in one read, and the shape of a window's tree without its text. Every walk
// is bounded by depth, element count, text length and the capture's deadline, and sets a messaging
// time-out on each element before reading it.

#include "platform/accessibility.hpp"
#include "text/anonymized_tree_node.hpp"
#include "text/capture_scope.hpp"
#include "text/context_limits.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace pennial {

// The running state of a harvest, carried from element to element.
struct TextHarvest {
    std::vector<std::string> texts;
    std::size_t totalLength = 0; // characters
    std::unordered_set<std::string> seen;
    int elementCount = 0;

    // The texts, one per line.
    std::string joined() const;
};

namespace AXTreeHelpers {

// The first of "AXValue", "AXTitle", "AXDescription" that is text and not blank, trimmed.
std::optional<std::string> extractText(const CaptureScope& scope, const AXElement& element);

// Whether text must not be taken from the element: a password field, or one whose role cannot be
// read (it might be one). role is the element's "AXRole" as read.
bool mayHoldSecureText(const CaptureScope& scope, const AXElement& element,
                       const std::optional<std::string>& role,
                       const std::optional<std::string>& subrole = std::nullopt);

// Appends the texts under element, skipping the focused element's subtree and images, scroll bars
// and progress indicators.
void collectStaticText(const CaptureScope& scope, const AXElement& element, TextHarvest& harvest,
                       const AXElement& focusedElement, int maxDepth,
                       int maxElements = context_limits::staticHarvestMaxElements);
// As collectStaticText, also skipping toolbars, menus, banners and navigation.
void collectContentText(const CaptureScope& scope, const AXElement& element, TextHarvest& harvest,
                        const AXElement& focusedElement, int maxDepth, int maxElements);

// Appends the texts under element that the platform gathers in one batch (see
// Accessibility::collectTexts), by the harvest's rules; false when the platform has no batch
// there, and the caller walks the tree instead.
// With contentOnly, what collectContentText leaves out is left out.
bool collectTextsInBatch(const CaptureScope& scope, const AXElement& element, TextHarvest& harvest,
                         const AXElement& focusedElement, int maxElements,
                         bool contentOnly = false);

// Breadth-first searches; the root itself may match.
std::optional<AXElement> findElementWithRole(const CaptureScope& scope, std::string_view role,
                                             const AXElement& root, int maxDepth, int maxVisited);
std::optional<AXElement> findElementWithSubrole(const CaptureScope& scope, std::string_view subrole,
                                                const AXElement& root, int maxDepth,
                                                int maxVisited);

// Where page content lives in the focused window, most specific first:
// [main landmark?, web area] in a page (never the browser around it), else [window]; empty
// without a focused window.
std::vector<AXElement> findContentRoots(const CaptureScope& scope, Pid pid);

// The element's whole text in one ranged read, at most 30000 UTF-16 units.
std::optional<std::string> getFullTextViaStringForRange(const CaptureScope& scope,
                                                        const AXElement& element);

// The focused window's tree in pre-order, without text: at most maxElements nodes, depths 0-29.
std::vector<AnonymizedTreeNode> captureAnonymizedTree(const CaptureScope& scope, Pid pid,
                                                      int maxElements);

} // namespace AXTreeHelpers
} // namespace pennial
