#include "app/trigger_text.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(TriggerText, TheTriggerIsTakenWhereItStandsNow) {
    EXPECT_EQ(locateTrigger("Hi 👋 ;;fix", ";;fix", 6), 6) << "offsets count UTF-16 units";
    EXPECT_EQ(locateTrigger(";;fix a ;;fix", ";;fix", 0), 0) << "the reported one when it is there";
    EXPECT_EQ(locateTrigger(";;fix a ;;fix", ";;fix", 3), 8) << "else the last one";
    EXPECT_EQ(locateTrigger(";;fix a ;;fix", ";;fix", 40), 8);
    EXPECT_EQ(locateTrigger("abc ;;fix", ";;fix", std::nullopt), 4);
    EXPECT_EQ(locateTrigger("abc ;;fi", ";;fix", 4), std::nullopt);
    EXPECT_EQ(locateTrigger("abc ;;FIX", ";;fix", 4), std::nullopt) << "case counts";
}

TEST(TriggerText, OnlyAnInsertWithoutTagsIsAPlainSnippet) {
    auto insert = [](std::string content) { return Command::make("x", std::move(content), false); };
    EXPECT_TRUE(isPlainSnippet(insert("Best,\nAnn")));
    EXPECT_TRUE(isPlainSnippet(insert("a <> b > c <")));
    EXPECT_FALSE(isPlainSnippet(insert("Best,\n<first name>")));
    EXPECT_FALSE(isPlainSnippet(insert("<<>")));
    EXPECT_FALSE(isPlainSnippet(insert("<> then <a\nb>")));
    EXPECT_FALSE(isPlainSnippet(Command::make("x", "Best,\nAnn", true)));
}

TEST(TriggerText, EveryReplacementKeepsWhatFollowedTheTrigger) {
    auto split = TextProcessing::splitAtTrigger("abc ;;x more\nnext", ";;x", 4);
    auto insert = replacementsFor(Command::make("x", "", false), split, "R");
    EXPECT_EQ(insert.rangeReplacement, "abc\nR");
    EXPECT_EQ(insert.fullReplacement, "abc\nR more\nnext");
    auto rewrite = replacementsFor(Command::make("x", "", true), split, "R");
    EXPECT_EQ(rewrite.rangeReplacement, "R");
    EXPECT_EQ(rewrite.fullReplacement, "R more\nnext");
}
