// Offsets between UTF-16 units and the toolkits' own: code points for GTK and most, UTF-16 units
// for Qt. "a😀b€" is 4 code points, 5 UTF-16 units and 9 bytes.

#include "platform/linux/atspi_offsets.hpp"

#include <gtest/gtest.h>

using namespace pennial;

namespace {
constexpr std::string_view text = "a😀b€";
constexpr auto codePoints = AtspiTextUnits::codePoints;
constexpr auto utf16 = AtspiTextUnits::utf16;
} // namespace

TEST(AtspiOffsetsTest, OnlyQtCountsInUtf16UnitsAndReadsToTheEnd) {
    EXPECT_EQ(toolkitNamed("Qt"), (AtspiToolkit{utf16, true}));
    for (auto toolkit : {"gtk", "GTK", "Gecko", ""})
        EXPECT_EQ(toolkitNamed(toolkit), (AtspiToolkit{codePoints, false})) << toolkit;
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
    EXPECT_EQ(insertionLength(text, utf16), 5);
    EXPECT_EQ(insertionLength(text, codePoints), 9);
}
