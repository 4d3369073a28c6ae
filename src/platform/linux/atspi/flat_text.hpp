#pragma once
// A rich field's text as the user sees it. On the accessibility bus a rich editor is a tree: the
// editable root's text holds one U+FFFC for each embedded child (a block, a link), and the words
// live in the children. Flattened, each U+FFFC becomes its child's own text (recursively), a block
// stands on lines of its own, and no U+FFFC or U+FEFF is left. Offsets into the flattened text
// (UTF-16 units, as the rest of the system counts) map to places in one element (its own offset,
// in its toolkit's units) and back. Knows nothing of the bus: the reader hands it the tree.

#include "platform/linux/atspi/atspi_offsets.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

class FlatText {
public:
    // One element as read: its text as its toolkit gives it, and the elements behind the U+FFFC
    // in that text, in order (a U+FFFC without one stands for nothing).
    struct Node {
        std::string text;
        bool block = false;
        std::vector<Node> children;
        // UTF-16 units at the start of text that stand for nothing: a list's marker, which the
        // page draws and no caret enters.
        std::size_t hidden = 0;
    };
    // A place in one element's text. Elements are numbered in pre-order, the root 0.
    struct Place {
        int node = 0;
        std::int64_t offset = 0; // the element's toolkit units
        bool operator==(const Place&) const = default;
    };

    // units: how the toolkit counts the texts as read (code points, padding included, or UTF-16).
    FlatText(const Node& root, AtspiTextUnits units);

    const std::string& text() const { return text_; }
    std::int64_t length() const { return static_cast<std::int64_t>(units_.size()); }
    int nodeCount() const { return static_cast<int>(nodes_.size()); }

    // Where a caret at the offset stands: before the character after it on the same line (in
    // the element that holds that character), at a line's end after the character before it, on
    // an empty block's line at that block's start. None outside the text or between the halves
    // of a surrogate pair.
    std::optional<Place> placeAt(std::int64_t offset) const;
    // The offset a place stands at; none for a place the element's text does not have, or one
    // inside a character.
    std::optional<std::int64_t> offsetOf(Place place) const;

    // The child behind the U+FFFC at the place; none when no element is there.
    std::optional<int> childAt(Place place) const;
    // The same position in the parent's text where the place is the start or the end of its
    // element; none for the root, a place inside an element, or where the parent's offset
    // stands across a line break from it.
    std::optional<Place> lifted(Place place) const;
    // Both places told in one element (the deepest that can), standing for the same two offsets;
    // none when one of them lies inside an element the other cannot be told in.
    std::optional<std::pair<Place, Place>> inOneElement(Place start, Place end) const;
    std::int64_t nodeLength(int node) const {
        return nodes_[static_cast<std::size_t>(node)].length;
    }

private:
    // The places that stand for the same offset as this one (itself first).
    std::vector<Place> sameSpot(Place place) const;

    struct NodeFacts {
        int parent = -1;
        std::int64_t embeddedAt = 0; // its U+FFFC's offset in the parent's text
        int depth = 0;
        std::int64_t length = 0; // toolkit units
        // The flattened offset of each of its own offsets, -1 inside a character.
        std::vector<std::int64_t> flatAt;
        std::vector<std::pair<std::int64_t, int>> children; // (offset of the U+FFFC, node)
    };
    struct Builder;

    std::string text_;
    std::u16string units_;
    std::vector<Place> placeAt_;   // one per boundary: units_.size() + 1
    std::vector<bool> insidePair_; // per boundary
    std::vector<NodeFacts> nodes_;
};

} // namespace pennial
