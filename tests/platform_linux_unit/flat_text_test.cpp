// A rich field's flattened text against random trees (nesting, blocks and inline children, empty
// blocks, characters of one and two UTF-16 units, padding, line breaks of the text's own), and the
// offsets it maps both ways. The oracle lists the tree's characters and block edges first and
// only then decides where lines break: a run of block edges between two pieces of content is one
// line break, unless a line break of the text stands there already (just after a block's start,
// or first after the run); an empty block is an empty line of its own.

#include "base/unicode.hpp"
#include "platform/linux/atspi/flat_text.hpp"
#include "support/test_seed.hpp"

#include <gtest/gtest.h>
#include <random>

using namespace pennial;

namespace pennial {
void PrintTo(const FlatText::Place& place, std::ostream* out) {
    *out << place.node << ":" << place.offset;
}
} // namespace pennial

namespace {

using Place = FlatText::Place;

struct Token {
    enum Kind { character, open, close, emptyLine } kind;
    std::u16string units;
    Place place;
};

struct Expected {
    std::u16string text;
    std::vector<std::pair<std::int64_t, Place>> characters; // flat offset, origin
    std::vector<std::pair<Place, int>> children;            // place of a U+FFFC, its node
    std::vector<std::int64_t> lengths;                      // per node, toolkit units
};

class RandomTree {
public:
    RandomTree(std::mt19937& random, AtspiTextUnits units) : random_(random), units_(units) {}

    FlatText::Node node(int depth, bool block, bool inlineOnly) {
        FlatText::Node made;
        made.block = block;
        std::u16string text;
        for (int piece = pick(0, 6); piece > 0; --piece) {
            const int kind = pick(0, 9);
            if (kind < 3 && depth < 4) {
                text += u'\uFFFC';
                const bool childBlock = !inlineOnly && pick(0, 2) > 0;
                made.children.push_back(node(depth + 1, childBlock, inlineOnly || !childBlock));
            } else {
                text += character();
            }
        }
        // Some objects stand for nothing: the last few children are missing.
        if (!made.children.empty() && pick(0, 5) == 0)
            made.children.pop_back();
        // A list item's marker, drawn by the page.
        if (block && pick(0, 5) == 0) {
            text.insert(0, u"\u2022 ");
            made.hidden = 2;
        }
        made.text = unicode::toUtf8(text);
        return made;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    std::u16string character() {
        static const std::u16string pool[] = {u"a",          u"b",         u" ",  u";",
                                              u"\u00E9",     u"\u2014",    u"\n", u"\uFEFF",
                                              u"\U0001F600", u"\U0001D4B3"};
        auto chosen = pool[pick(0, 9)];
        // Firefox pads what lies outside the BMP when it counts code points.
        if (chosen.size() == 2 && units_ == AtspiTextUnits::codePoints && pick(0, 1))
            chosen += u'\uFEFF';
        return chosen;
    }

    std::mt19937& random_;
    AtspiTextUnits units_;
};

// The tree's content in document order, each character with its place, and each block's edges.
void listTokens(const FlatText::Node& node, AtspiTextUnits units, std::vector<Token>& tokens,
                Expected& expected) {
    const int id = static_cast<int>(expected.lengths.size());
    expected.lengths.push_back(0);
    const auto text = unicode::toUtf16(node.text);
    std::size_t child = 0;
    std::int64_t offset = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t size = text[i] >= 0xD800 && text[i] <= 0xDBFF ? 2 : 1;
        const std::u16string units16 = text.substr(i, size);
        if (units16 == u"\uFFFC") {
            if (child < node.children.size()) {
                const auto& inner = node.children[child];
                expected.children.emplace_back(Place{id, offset},
                                               static_cast<int>(expected.lengths.size()));
                if (inner.block)
                    tokens.push_back({Token::open, {}, {}});
                const auto before = tokens.size();
                listTokens(inner, units, tokens, expected);
                if (inner.block) {
                    const bool empty = std::none_of(
                        tokens.begin() + static_cast<std::ptrdiff_t>(before), tokens.end(),
                        [](const Token& t) {
                            return t.kind == Token::character || t.kind == Token::emptyLine;
                        });
                    if (empty)
                        tokens.push_back({Token::emptyLine, {}, {}});
                    tokens.push_back({Token::close, {}, {}});
                }
            }
            ++child;
        } else if (units16 != u"\uFEFF" && i >= node.hidden) {
            tokens.push_back({Token::character, units16, {id, offset}});
        }
        offset += units == AtspiTextUnits::utf16 ? static_cast<std::int64_t>(size) : 1;
        i += size;
    }
    expected.lengths[static_cast<std::size_t>(id)] = offset;
}

Expected oracle(const FlatText::Node& root, AtspiTextUnits units) {
    Expected expected;
    std::vector<Token> tokens;
    listTokens(root, units, tokens, expected);
    const Token* last = nullptr;
    bool edges = false, closed = false;
    for (const auto& token : tokens) {
        if (token.kind == Token::open || token.kind == Token::close) {
            edges = true;
            closed = closed || token.kind == Token::close;
            continue;
        }
        if (last && edges) {
            const bool textBreakBefore = !closed && last->units == u"\n";
            const bool textBreakAfter = token.units == u"\n";
            if (!textBreakBefore && !textBreakAfter)
                expected.text += u'\n';
        }
        if (token.kind == Token::character) {
            expected.characters.emplace_back(static_cast<std::int64_t>(expected.text.size()),
                                             token.place);
            expected.text += token.units;
        }
        last = &token;
        edges = closed = false;
    }
    return expected;
}

} // namespace

TEST(FlatText, RandomTreesFlattenAsShownAndMapOffsetsBothWays) {
    const unsigned seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 2000; ++round) {
        const auto units = random() % 2 ? AtspiTextUnits::utf16 : AtspiTextUnits::codePoints;
        RandomTree trees(random, units);
        const auto root = trees.node(0, false, false);
        const FlatText flat(root, units);
        const auto expected = oracle(root, units);
        SCOPED_TRACE("round " + std::to_string(round));

        ASSERT_EQ(flat.text(), unicode::toUtf8(expected.text));
        ASSERT_EQ(flat.nodeCount(), static_cast<int>(expected.lengths.size()));
        for (const auto& [offset, place] : expected.characters) {
            ASSERT_EQ(flat.placeAt(offset), place) << offset;
            ASSERT_EQ(flat.offsetOf(place), offset);
        }
        for (const auto& [place, child] : expected.children)
            ASSERT_EQ(flat.childAt(place), child);

        // Every boundary has a place that stands for it, but inside a surrogate pair.
        for (std::int64_t offset = 0; offset <= flat.length(); ++offset) {
            const bool insidePair = offset > 0 &&
                                    expected.text[static_cast<std::size_t>(offset - 1)] >= 0xD800 &&
                                    expected.text[static_cast<std::size_t>(offset - 1)] <= 0xDBFF;
            const auto place = flat.placeAt(offset);
            ASSERT_EQ(place.has_value(), !insidePair) << offset;
            if (place)
                ASSERT_EQ(flat.offsetOf(*place), offset) << offset;
        }
        // Every place of every element stands somewhere, in order, but inside a character.
        for (int node = 0; node < flat.nodeCount(); ++node) {
            const auto length = expected.lengths[static_cast<std::size_t>(node)];
            ASSERT_EQ(flat.nodeLength(node), length);
            std::int64_t previous = 0;
            for (std::int64_t offset = 0; offset <= length; ++offset) {
                const auto at = flat.offsetOf({node, offset});
                if (!at)
                    continue;
                ASSERT_LE(*at, flat.length());
                ASSERT_GE(*at, previous) << node << ":" << offset;
                previous = *at;
            }
            ASSERT_FALSE(flat.offsetOf({node, length + 1}));
        }
        // A range put into one element stands for exactly the same two offsets, never wider.
        for (int pair = 0; pair < 20 && flat.length() > 0; ++pair) {
            auto start = std::uniform_int_distribution<std::int64_t>(0, flat.length())(random);
            auto end = std::uniform_int_distribution<std::int64_t>(0, flat.length())(random);
            if (start > end)
                std::swap(start, end);
            const auto from = flat.placeAt(start);
            const auto to = flat.placeAt(end);
            if (!from || !to)
                continue;
            const auto one = flat.inOneElement(*from, *to);
            if (from->node == to->node)
                ASSERT_TRUE(one);
            if (!one)
                continue;
            const auto trace =
                ::testing::PrintToString(*from) + " " + ::testing::PrintToString(*to) + " -> " +
                ::testing::PrintToString(one->first) + " " + ::testing::PrintToString(one->second);
            ASSERT_EQ(one->first.node, one->second.node) << trace;
            ASSERT_EQ(flat.offsetOf(one->first), start) << trace;
            ASSERT_EQ(flat.offsetOf(one->second), end) << trace;
        }
    }
}

TEST(FlatText, ParagraphsAListAndALinkReadAsTheyShow) {
    // <p>Dear <a>Ann</a>,</p><p></p><ul><li>one</li><li>two</li></ul>, the list's bullets in
    // its items' text
    const auto block = [](std::string text, std::vector<FlatText::Node> children = {},
                          std::size_t hidden = 0) {
        return FlatText::Node{std::move(text), true, std::move(children), hidden};
    };
    const FlatText::Node root{
        "\uFFFC\uFFFC\uFFFC",
        false,
        {block("Dear \uFFFC,", {FlatText::Node{"Ann", false, {}}}), block(""),
         block("\uFFFC\uFFFC", {block("\u2022 one", {}, 2), block("\u2022 two", {}, 2)})}};
    const FlatText flat(root, AtspiTextUnits::codePoints);
    EXPECT_EQ(flat.text(), "Dear Ann,\n\none\ntwo");
    // The caret at the end of the first line stays in its paragraph; the empty line is the empty
    // paragraph's; a list item starts after its bullet.
    EXPECT_EQ(flat.placeAt(9), (Place{1, 7}));
    EXPECT_EQ(flat.placeAt(10), (Place{3, 0}));
    EXPECT_EQ(flat.placeAt(11), (Place{5, 2}));
    EXPECT_EQ(flat.placeAt(14), (Place{5, 5}));
    EXPECT_EQ(flat.offsetOf({5, 0}), 11);
    // A link lifts into its paragraph; two paragraphs share no element.
    EXPECT_EQ(flat.inOneElement({2, 0}, {2, 3}), (std::pair{Place{2, 0}, Place{2, 3}}));
    EXPECT_EQ(flat.inOneElement({1, 0}, {2, 3}), (std::pair{Place{1, 0}, Place{1, 6}}));
    EXPECT_FALSE(flat.inOneElement({1, 2}, {5, 1}));

    // A trigger typed at the end of a bold span that is an element of its own: the line's end is
    // the paragraph's, and the span's too.
    const FlatText::Node spans{
        "\uFFFC", false, {block("Middle \uFFFC", {FlatText::Node{"bold ;;x", false, {}}})}};
    const FlatText spanned(spans, AtspiTextUnits::codePoints);
    ASSERT_EQ(spanned.text(), "Middle bold ;;x");
    EXPECT_EQ(spanned.inOneElement(*spanned.placeAt(11), *spanned.placeAt(15)),
              (std::pair{Place{2, 4}, Place{2, 8}}));
}
