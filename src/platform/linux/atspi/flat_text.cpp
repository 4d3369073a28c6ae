#include "platform/linux/atspi/flat_text.hpp"

#include "base/unicode.hpp"

#include <algorithm>

namespace pennial {

namespace {
constexpr char16_t objectReplacement = u'\uFFFC';
constexpr char16_t zeroWidthNoBreak = u'\uFEFF';

bool isLeadSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
} // namespace

// Walks the tree once, writing the flattened units and, for every boundary, the place a caret
// there stands at. A block needs a line break before its first content (unless its line is new)
// and after its last; the break waits until content comes, so that a text line break in that spot
// serves as the break, and nothing trails the text.
struct FlatText::Builder {
    Builder(FlatText& flat, AtspiTextUnits units) : flat(flat), units(units) {}

    FlatText& flat;
    AtspiTextUnits units;
    bool pending = false; // a break is owed before the next content
    Place current;
    std::int64_t lines = 0; // counts what takes up a line: characters, empty blocks
    // Places reached while a break is owed: they stand where the next content starts.
    std::vector<Place> owed;

    std::int64_t& flatAt(Place place) {
        return flat.nodes_[static_cast<std::size_t>(place.node)]
            .flatAt[static_cast<std::size_t>(place.offset)];
    }
    void settleOwed() {
        for (const auto& place : owed)
            flatAt(place) = flat.length();
        owed.clear();
    }
    void setCurrent(Place place) {
        current = place;
        if (pending) {
            owed.push_back(place);
            return;
        }
        flatAt(place) = flat.length();
        flat.placeAt_.back() = current;
    }
    // One unit; the boundary after it stands where the caret is now.
    void push(char16_t unit, bool boundaryInsidePair) {
        flat.units_.push_back(unit);
        flat.placeAt_.push_back(current);
        flat.insidePair_.push_back(boundaryInsidePair);
    }
    void emitBreak() {
        pending = false;
        push(u'\n', false);
        settleOwed();
    }
    void emit(std::u16string_view character, Place place, std::int64_t toolkitLength) {
        if (pending && character != u"\n")
            emitBreak();
        // A line break of the text's own serves as the one owed.
        pending = false;
        settleOwed();
        ++lines;
        // After a break, the new line starts with this character.
        flat.placeAt_.back() = place;
        current = place;
        push(character[0], character.size() > 1);
        if (character.size() > 1)
            push(character[1], false);
        setCurrent({place.node, place.offset + toolkitLength});
    }
    bool atLineStart() const { return flat.units_.empty() || flat.units_.back() == u'\n'; }

    void visit(const Node& node, int parent, std::int64_t embeddedAt) {
        const int id = static_cast<int>(flat.nodes_.size());
        flat.nodes_.push_back({});
        const auto text = unicode::toUtf16(unicode::sanitizeUtf8(node.text));
        {
            auto& facts = flat.nodes_.back();
            facts.parent = parent;
            facts.embeddedAt = embeddedAt;
            facts.depth = parent < 0 ? 0 : flat.nodes_[static_cast<std::size_t>(parent)].depth + 1;
            for (std::size_t i = 0; i < text.size(); ++i) {
                const bool pair = isLeadSurrogate(text[i]) && i + 1 < text.size();
                facts.length += pair && units == AtspiTextUnits::utf16 ? 2 : 1;
                i += pair ? 1 : 0;
            }
            facts.flatAt.assign(static_cast<std::size_t>(facts.length) + 1, -1);
        }
        if (node.block && parent >= 0 && !atLineStart())
            pending = true;
        const auto linesBefore = lines;

        std::size_t child = 0;
        std::int64_t offset = 0;
        for (std::size_t i = 0; i < text.size();) {
            const bool pair = isLeadSurrogate(text[i]) && i + 1 < text.size();
            const std::u16string_view character(text.data() + i, pair ? 2 : 1);
            const std::int64_t length = pair && units == AtspiTextUnits::utf16 ? 2 : 1;
            setCurrent({id, offset});
            if (character[0] == objectReplacement) {
                if (child < node.children.size()) {
                    flat.nodes_[static_cast<std::size_t>(id)].children.emplace_back(
                        offset, static_cast<int>(flat.nodes_.size()));
                    visit(node.children[child], id, offset);
                }
                ++child;
            } else if (character[0] != zeroWidthNoBreak && i >= node.hidden) {
                emit(character, {id, offset}, length);
            }
            offset += length;
            i += character.size();
        }
        setCurrent({id, offset});

        if (node.block && parent >= 0) {
            // An empty block is an empty line of its own (once, however deeply it nests).
            if (lines == linesBefore) {
                if (pending)
                    emitBreak();
                ++lines;
            }
            setCurrent({id, offset});
            pending = true;
        }
    }
};

FlatText::FlatText(const Node& root, AtspiTextUnits units) {
    placeAt_.push_back({0, 0});
    insidePair_.push_back(false);
    Builder builder(*this, units);
    builder.visit(root, -1, 0);
    builder.settleOwed(); // nothing follows: they stand at the end
    text_ = unicode::toUtf8(units_);
}

std::optional<FlatText::Place> FlatText::placeAt(std::int64_t offset) const {
    if (offset < 0 || offset > length() || insidePair_[static_cast<std::size_t>(offset)])
        return std::nullopt;
    return placeAt_[static_cast<std::size_t>(offset)];
}

std::optional<std::int64_t> FlatText::offsetOf(Place place) const {
    if (place.node < 0 || place.node >= nodeCount() || place.offset < 0 ||
        place.offset > nodeLength(place.node))
        return std::nullopt;
    const auto at =
        nodes_[static_cast<std::size_t>(place.node)].flatAt[static_cast<std::size_t>(place.offset)];
    return at < 0 ? std::nullopt : std::optional(at);
}

std::optional<int> FlatText::childAt(Place place) const {
    if (place.node < 0 || place.node >= nodeCount())
        return std::nullopt;
    for (const auto& [offset, child] : nodes_[static_cast<std::size_t>(place.node)].children)
        if (offset == place.offset)
            return child;
    return std::nullopt;
}

std::optional<FlatText::Place> FlatText::lifted(Place place) const {
    const auto& facts = nodes_[static_cast<std::size_t>(place.node)];
    if (facts.parent < 0 || (place.offset != 0 && place.offset != facts.length))
        return std::nullopt;
    const Place up{facts.parent, facts.embeddedAt + (place.offset == 0 ? 0 : 1)};
    // Across a block's edge the parent's offset stands on the other side of a line break.
    if (offsetOf(up) != offsetOf(place))
        return std::nullopt;
    return up;
}

std::vector<FlatText::Place> FlatText::sameSpot(Place place) const {
    // Up through the elements the place starts or ends, and down into those that start or end
    // there, as long as the offset stays the same.
    const auto at = offsetOf(place);
    std::vector<Place> found{place};
    for (std::size_t next = 0; next < found.size(); ++next) {
        const auto current = found[next];
        std::vector<Place> around;
        if (auto up = lifted(current))
            around.push_back(*up);
        if (auto child = childAt(current))
            around.push_back({*child, 0});
        if (auto child = childAt({current.node, current.offset - 1}))
            around.push_back({*child, nodeLength(*child)});
        for (const auto& candidate : around)
            if (offsetOf(candidate) == at &&
                std::find(found.begin(), found.end(), candidate) == found.end())
                found.push_back(candidate);
    }
    return found;
}

std::optional<std::pair<FlatText::Place, FlatText::Place>> FlatText::inOneElement(Place start,
                                                                                  Place end) const {
    // Of the elements both ends can be told in, the deepest: the narrowest that holds the range.
    std::optional<std::pair<Place, Place>> best;
    for (const auto& from : sameSpot(start))
        for (const auto& to : sameSpot(end))
            if (from.node == to.node &&
                (!best || nodes_[static_cast<std::size_t>(from.node)].depth >
                              nodes_[static_cast<std::size_t>(best->first.node)].depth))
                best = std::pair{from, to};
    return best;
}

} // namespace pennial
