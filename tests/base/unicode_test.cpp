#include "base/unicode.hpp"

#include <gtest/gtest.h>

using namespace pennial::unicode;

TEST(Unicode, Utf16OffsetsAroundCharactersOutsideTheBmp) {
    const std::string text = "a😀b"; // 😀 is two UTF-16 units and four bytes
    EXPECT_EQ(utf16Length(text), 4u);
    EXPECT_EQ(byteOffsetForUtf16(text, 1), 1u);
    EXPECT_EQ(byteOffsetForUtf16(text, 3), 5u);
    EXPECT_EQ(byteOffsetForUtf16(text, 2), std::nullopt) << "inside the surrogate pair";
    EXPECT_EQ(byteOffsetForUtf16(text, 5), std::nullopt) << "past the end";
    EXPECT_EQ(utf16OffsetForByte(text, 5), 3u);
    EXPECT_EQ(sliceUtf16(text, 1, 2), "😀");
    EXPECT_EQ(sliceUtf16(text, 3, 2), std::nullopt);
}

TEST(Unicode, SharedStartsAndEndsNeverSplitASurrogatePair) {
    // 😀 and 😃 share their first unit; 😀 and U+10600 their second.
    EXPECT_EQ(sharedStart(u"ab😀x", u"ab😃x"), 2u);
    EXPECT_EQ(sharedStart(u"ab😀", u"ab😀cd"), 4u);
    EXPECT_EQ(sharedStart(u"ab😀", u"ab😀cd", 3), 2u) << "a limit inside the pair";
    EXPECT_EQ(sharedEnd(u"x😀yz", u"w\U00010600yz"), 2u);
    EXPECT_EQ(sharedEnd(u"😀yz", u"a😀yz"), 4u);
    EXPECT_EQ(sharedStart(u"", u"a"), 0u);
    EXPECT_EQ(sharedEnd(u"a", u""), 0u);
}

TEST(Unicode, GraphemesCountWhatAUserSeesAsOneCharacter) {
    EXPECT_EQ(graphemeCount("e\u0301"), 1u);
    EXPECT_EQ(graphemeCount("👩‍👩‍👧x"), 2u);
    EXPECT_EQ(graphemePrefix("ab👩‍👩‍👧cd", 3), "ab👩‍👩‍👧");
    EXPECT_EQ(dropLastGrapheme("hi👩‍👩‍👧"), "hi");
    EXPECT_EQ(dropLastGrapheme(""), "");
}

TEST(Unicode, CaseInsensitiveFindMapsBackToTheOriginalBytes) {
    EXPECT_EQ(findCaseInsensitive("Ünd SENT from my iPhone", "sent from"), 5u);
    EXPECT_EQ(findCaseInsensitive("abc", "x"), std::nullopt);
    EXPECT_EQ(findCaseInsensitive("aXbX", "x", 2), 3u);
}

TEST(Unicode, NfcComposesAndTrimmingKnowsItsWhitespace) {
    EXPECT_EQ(nfc("e\u0301"), "\u00e9");
    EXPECT_EQ(trimWhitespaceAndNewlines(" \n\u00a0hi there\t\n"), "hi there");
    EXPECT_EQ(trimHorizontalWhitespace(" \t\nhi\n \t"), "\nhi\n");
    EXPECT_EQ(trimWhitespaceAndNewlines(" \n "), "");
    EXPECT_EQ(trimWhitespaceAndNewlines("é\u2003\u00a0"), "é");
}

TEST(Unicode, RegexRunsOverUtf16WithLineEndsAndUnicodeWords) {
    auto regex = Regex::compile(escapeRegex("a.+(b)") + "\\s*(\\w+)$");
    ASSERT_TRUE(regex);
    auto matches = regex->findAll(std::string("😀a.+(b) héllo\nxa.+(b)x y\na.+(b)ß"));
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0].groups[0]->location, 2u);
    EXPECT_EQ(matches[0].groups[1]->length, 5u) << "é is a word character";
    EXPECT_EQ(matches[1].groups[0]->location, 26u);
    EXPECT_FALSE(Regex::compile("(unclosed"));
}

TEST(Unicode, InvalidUtf8IsReplacedNotPropagated) {
    EXPECT_EQ(sanitizeUtf8("ok\xF0\x9F"), "ok\uFFFD");
    EXPECT_EQ(sanitizeUtf8("fine \uFFFD"), "fine \uFFFD");
}
