#include "text/text_processing.hpp"

#include <gtest/gtest.h>

using namespace pennial::TextProcessing;

TEST(TextProcessing, SplitCutsAtTheOffsetAndKeepsTheLinesAfter) {
    EXPECT_EQ(splitAtTrigger("Hello world ;;fix", ";;fix", 12),
              (TriggerSplit{"Hello world", "", ""}));
    EXPECT_EQ(splitAtTrigger("line one\nplease ;;fix\nline three", ";;fix", 16),
              (TriggerSplit{"line one\nplease", "\nline three", "\nline three"}));
    EXPECT_EQ(splitAtTrigger("abc ;;fix more\nnext", ";;fix", 4),
              (TriggerSplit{"abc", "\nnext", " more\nnext"}));
    EXPECT_EQ(splitAtTrigger(" \tHi\n ;;fix", ";;fix", 6).textBefore, "Hi\n")
        << "only horizontal white space is trimmed";
}

TEST(TextProcessing, SplitCountsUtf16UnitsAroundCharactersOutsideTheBmp) {
    // 😀 is two UTF-16 units: the trigger starts at 7, one more than its character position.
    EXPECT_EQ(splitAtTrigger("Hi 😀 x ;;fix\nP.S.", ";;fix", 8),
              (TriggerSplit{"Hi 😀 x", "\nP.S.", "\nP.S."}));
    EXPECT_EQ(splitAtTrigger("😀;;fix", ";;fix", 2).textBefore, "😀");
}

TEST(TextProcessing, SplitWithoutAUsableOffsetRemovesEveryCopyOfThePattern) {
    auto expected = TriggerSplit{"a  b", "", ""};
    EXPECT_EQ(splitAtTrigger(" a ;;fix b;;fix ", ";;fix", std::nullopt), expected);
    EXPECT_EQ(splitAtTrigger(" a ;;fix b;;fix ", ";;fix", -1), expected);
    EXPECT_EQ(splitAtTrigger(" a ;;fix b;;fix ", ";;fix", 12), expected) << "runs past the end";
    EXPECT_EQ(splitAtTrigger("abc", "", std::nullopt).textBefore, "abc");
}

TEST(TextProcessing, ComposeAndComplete) {
    EXPECT_EQ(composeSnippetText("", "Best,\nAnn", ""), "Best,\nAnn");
    EXPECT_EQ(composeSnippetText("Thanks", "Best", "\nP.S."), "Thanks\nBest\nP.S.");
    EXPECT_EQ(composeSnippetText("Thanks\n", "Best", ""), "Thanks\nBest");
    EXPECT_EQ(completedPattern(";;", ";; fi", "fix"), ";; fix");
    EXPECT_EQ(completedPattern(";;", ";;\n\t fi", "fix"), ";;\n\t fix");
    EXPECT_EQ(completedPattern(";;", ";;", "fix"), ";;fix");
    EXPECT_EQ(completedPattern(";;", "xx", "fix"), ";;fix");
}

TEST(TextProcessing, FooterTrimCutsTheWholeLineOfTheEarliestMarker) {
    EXPECT_EQ(trimEmailFooter("Hi Ann,\nSee you.\nSent from my iPhone"), "Hi Ann,\nSee you.");
    EXPECT_EQ(trimEmailFooter("Unsubscribe here"), "Unsubscribe here") << "nothing would be left";
    EXPECT_EQ(trimEmailFooter("  no markers here \n"), "  no markers here \n");
    std::string text = "l1\nl2\nl3\nl4\nRead our PRIVACY POLICY\nl6\nl7\nl8\nDisclaimer: x\n";
    EXPECT_EQ(trimEmailFooter(text), "l1\nl2\nl3\nl4");
    EXPECT_EQ(trimEmailFooter("Grüße ÄÖ\nDIESE E-MAIL IST VERTRAULICH"), "Grüße ÄÖ");
    EXPECT_EQ(trimEmailFooter("Body powered by x"), "Body") << "same line, no line break before";
    EXPECT_EQ(trimEmailFooter("Hi\nUNSUBSCRI\u017fE? no: un\u017fub\u017fcribe"), "Hi")
        << "a long s folds to s";
}
