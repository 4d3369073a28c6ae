// Offsets between UTF-16 units and the toolkits' own: code points for GTK and most, UTF-16 units
// for Qt. "a😀b€" is 4 code points, 5 UTF-16 units and 9 bytes.

#include "platform/linux/atspi/atspi_offsets.hpp"

#include <gtest/gtest.h>
#include <random>

using namespace pennial;

namespace {
constexpr std::string_view text = "a😀b€";
constexpr auto codePoints = AtspiTextUnits::codePoints;
constexpr auto utf16 = AtspiTextUnits::utf16;
} // namespace

TEST(AtspiOffsetsTest, QtAndFirefoxCountInUtf16UnitsAndReadToTheEnd) {
    EXPECT_EQ(toolkitNamed("Qt"), (AtspiToolkit{utf16, true, false, true, false}));
    EXPECT_EQ(toolkitNamed("Gecko"), (AtspiToolkit{utf16, true, true, false, false, false, true}));
    EXPECT_EQ(toolkitNamed("gtk"), (AtspiToolkit{codePoints, true})) << "GTK 3";
    EXPECT_EQ(toolkitNamed("GTK"), (AtspiToolkit{codePoints, false, false, false, true}));
    EXPECT_EQ(toolkitNamed("gtk", "soffice"),
              (AtspiToolkit{utf16, true, false, false, false, true}))
        << "LibreOffice";
    EXPECT_EQ(toolkitNamed(""), (AtspiToolkit{codePoints, false}));
}

TEST(AtspiOffsetsTest, CodePointOffsetsBecomeUtf16UnitsAndBack) {
    const std::vector<std::pair<std::int64_t, std::int64_t>> pairs = {
        {0, 0}, {1, 1}, {2, 3}, {3, 4}, {4, 5}};
    for (auto [points, units] : pairs) {
        EXPECT_EQ(toUtf16Offset(text, points, codePoints), units) << points;
        EXPECT_EQ(fromUtf16Offset(text, units, codePoints), points) << units;
    }
    EXPECT_EQ(lengthIn(text, codePoints), 4);
    EXPECT_EQ(toUtf16Offset(text, 9, codePoints), 5); // past the end: at the end
}

TEST(AtspiOffsetsTest, NoCodePointOffsetSplitsACharacterOrLiesOutsideTheText) {
    EXPECT_EQ(fromUtf16Offset(text, 2, codePoints), std::nullopt); // between the emoji's halves
    EXPECT_EQ(fromUtf16Offset(text, 6, codePoints), std::nullopt);
    EXPECT_EQ(fromUtf16Offset(text, -1, codePoints), std::nullopt);
    EXPECT_EQ(fromUtf16Offset("", 0, codePoints), 0);
}

TEST(AtspiOffsetsTest, Utf16OffsetsPassThroughWithinTheText) {
    EXPECT_EQ(fromUtf16Offset(text, 2, utf16), 2);
    EXPECT_EQ(fromUtf16Offset(text, 6, utf16), std::nullopt);
    EXPECT_EQ(toUtf16Offset(text, 3, utf16), 3);
    EXPECT_EQ(lengthIn(text, utf16), 5);
}

// Qt takes an inserted text's length in UTF-16 units and cuts the text to it; GTK takes bytes.
TEST(AtspiOffsetsTest, InsertedTextsGoWithTheLengthTheToolkitReads) {
    EXPECT_EQ(insertionLength(text, toolkitNamed("Qt")), 5);
    EXPECT_EQ(insertionLength(text, toolkitNamed("gtk")), 9);
    EXPECT_EQ(insertionLength(text, toolkitNamed("gtk", "soffice")), 9);
}

// Firefox follows each character outside the BMP with a U+FEFF; its padded code points then count
// as the real text's UTF-16 units. A U+FEFF of the user's own elsewhere is kept.
TEST(AtspiOffsetsTest, FirefoxPaddingIsStrippedAndItsOffsetsAreUtf16Units) {
    const std::vector<std::string> pieces = {"a", "é", "€", "😀", "𝒳", "\u200d", "\n", "\uFEFF"};
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    for (int round = 0; round < 500; ++round) {
        std::string real;
        std::string padded;
        bool afterAstral = false;
        for (int i = std::uniform_int_distribution(0, 12)(random); i > 0; --i) {
            const auto& piece =
                pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
            if (piece == "\uFEFF" && afterAstral)
                continue; // indistinguishable from the padding: never the user's in a test
            real += piece;
            padded += piece;
            afterAstral = piece.size() == 4;
            if (afterAstral)
                padded += "\uFEFF";
        }
        ASSERT_EQ(withoutAstralPadding(padded), real) << "seed " << seed;
        ASSERT_EQ(lengthIn(padded, codePoints), lengthIn(real, utf16)) << "seed " << seed;
    }
}
