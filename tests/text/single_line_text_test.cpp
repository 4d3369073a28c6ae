// A single-line field holds a pasted text's line breaks as spaces, or without them.

#include "text/single_line_text.hpp"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace pennial;

TEST(SingleLineText, LineBreaksAsSpacesOrDroppedAreTheTextAsIntended) {
    const std::vector<std::string> pieces = {"a", "é", " ", "\n", "\r\n", "😀"};
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    for (int round = 0; round < 300; ++round) {
        std::string expected, spaced, joined;
        for (int i = std::uniform_int_distribution(0, 8)(random); i > 0; --i) {
            const auto& piece =
                pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
            const bool lineBreak = piece == "\n" || piece == "\r\n";
            expected += piece;
            spaced += lineBreak ? " " : piece;
            joined += lineBreak ? "" : piece;
        }
        ASSERT_TRUE(heldOnOneLine(expected, expected)) << "seed " << seed;
        ASSERT_TRUE(heldOnOneLine(spaced, expected)) << "seed " << seed;
        ASSERT_TRUE(heldOnOneLine(joined, expected)) << "seed " << seed;
        ASSERT_FALSE(heldOnOneLine(spaced + "x", expected)) << "seed " << seed;
    }
    // The text itself must be there: a field that kept only part of it, or mixed the two ways.
    EXPECT_FALSE(heldOnOneLine("12 Garden", "12 Garden\nLane"));
    EXPECT_FALSE(heldOnOneLine("a bc", "a\nb\nc"));
    EXPECT_FALSE(heldOnOneLine("a\tb", "a\nb"));
}
