#include "app/trigger_text.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(TriggerText, OffsetsCountUtf16UnitsAndCaseCounts) {
    EXPECT_EQ(locateTrigger("Hi 👋 ;;fix", ";;fix", 6), 6);
    EXPECT_EQ(locateTrigger("Hi 👋 ;;fix", ";;fix", 5), 6);
    EXPECT_EQ(locateTrigger("abc ;;FIX", ";;fix", 4), std::nullopt);
}

TEST(TriggerText, OnlyAnInsertWithoutTagsIsAPlainSnippet) {
    auto insert = [](std::string content) { return Command::make("x", std::move(content), false); };
    EXPECT_TRUE(isPlainSnippet(insert("a <> b > c <")));
    EXPECT_FALSE(isPlainSnippet(insert("<<>")));
    EXPECT_FALSE(isPlainSnippet(insert("<> then <a\nb>")));
    EXPECT_FALSE(isPlainSnippet(Command::make("x", "Best,\nAnn", true)));
}

TEST(TriggerText, TheTriggerIsCutWhereItWasSeenElseAtItsLastOccurrence) {
    EXPECT_EQ(locateTrigger("a ;;fix b ;;fix", ";;fix", 10), 10);
    EXPECT_EQ(locateTrigger("a ;;fix b ;;fix", ";;fix", std::nullopt), 10);
    EXPECT_EQ(locateTrigger("a ;;fix b ;;fix", ";;fix", 12), 10) << "the text moved since";
    EXPECT_EQ(locateTrigger("a ;;fix b ;;fix", ";;fix", 2), 2);
}
