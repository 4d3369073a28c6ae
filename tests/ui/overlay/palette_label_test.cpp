#include "ui/overlay/palette_label.hpp"

#include <gtest/gtest.h>

namespace pennial {
namespace {

HighlightedLabel split(const char* before, const char* match, const char* after) {
    return {QString::fromUtf8(before), QString::fromUtf8(match), QString::fromUtf8(after)};
}

HighlightedLabel label(const char* name, const char* query) {
    return highlightedTemplateLabel(QString::fromUtf8(name), QString::fromUtf8(query));
}

TEST(PaletteLabel, BoldsTheFirstOccurrenceInTheNamesOwnLetters) {
    EXPECT_EQ(label("Translate", "ANS"), split("Tr", "ans", "late"));
    EXPECT_EQ(label("Translate", "a"), split("Tr", "a", "nslate"));
    EXPECT_EQ(label("Translate", "t"), split("", "T", "ranslate"));
    EXPECT_EQ(label("Translate", "translate"), split("", "Translate", ""));
}

TEST(PaletteLabel, LeavesTheWholeNameRegularWithoutAMatch) {
    EXPECT_EQ(label("Translate", ""), split("Translate", "", ""));
    EXPECT_EQ(label("Translate", "xyz"), split("Translate", "", ""));
    EXPECT_EQ(label("Translate", "Translates"), split("Translate", "", ""));
    // Lower case only: accents and widths are not folded.
    EXPECT_EQ(label("Résumé", "resume"), split("Résumé", "", ""));
    EXPECT_EQ(label("", "a"), split("", "", ""));
}

TEST(PaletteLabel, KeepsTheBoldRunOnTheMatchedCharactersWhenLoweringChangesLengths) {
    // "İ" lowers to two units ("i" and a combining dot).
    EXPECT_EQ(label("İstanbul", "st"), split("İ", "st", "anbul"));
    EXPECT_EQ(label("İstanbul", "i"), split("", "İ", "stanbul"));
    // Characters outside the basic plane count as one each.
    EXPECT_EQ(label("😀 Fix it", "fix"), split("😀 ", "Fix", " it"));
    EXPECT_EQ(label("𐐀𐐀x", "𐐨x"), split("𐐀", "𐐀x", "")); // Deseret capital and small
}

} // namespace
} // namespace pennial
