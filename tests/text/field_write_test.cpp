#include "text/field_write.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(FieldWrite, AWriteIsJudgedByWhatTheFieldHoldsAsItsApplicationStoresText) {
    const std::string before = "helo ;;fix\nnext";
    const std::string intended = "Hello.\nnext";
    struct Case {
        std::string now;
        bool singleLine;
        WriteVerdict verdict;
    };
    const Case cases[] = {
        {"Hello.\nnext", false, WriteVerdict::landed},
        {"Hello.\r\nnext", false, WriteVerdict::landed},       // CRLF line endings
        {"Hello.\rnext", false, WriteVerdict::landed},         // CR line endings
        {"Hello.  \nnext \n", false, WriteVerdict::landed},    // blanks at line ends
        {"Hello.next", true, WriteVerdict::landed},            // a one-line field drops breaks
        {"Hello.next", false, WriteVerdict::landedThenEdited}, // there, a key deleted it
        {"Hello. next", true, WriteVerdict::landed},           // or turns them into spaces
        {"helo ;;fix\nnext", false, WriteVerdict::untouched},
        {"helo ;;fixX\nnext", false, WriteVerdict::changed}, // typed before the write landed
        {"Hi ;;fix\nnext", false, WriteVerdict::changed},
        {"Hello.\nnexX", false, WriteVerdict::landedThenEdited},
        {"Hxllo.\nnext", false, WriteVerdict::landedThenEdited},
    };
    for (const auto& [now, singleLine, verdict] : cases)
        EXPECT_EQ(judgeWrite(before, intended, now, singleLine), verdict) << now;
}

TEST(FieldWrite, AWriteCutShortIsToldFromAKeyDeletingAfterIt) {
    const std::string before = "helo ;;fix\nnext";
    const std::string intended = "Hello there.\nnext";
    const AXRange written{0, 12};
    const std::pair<std::string, WriteVerdict> cases[] = {
        {"Hello ther\nnext", WriteVerdict::cutShort},          // the field's limit
        {"\nnext", WriteVerdict::cutShort},                    // nothing of it fitted
        {"Hello there.next", WriteVerdict::landedThenEdited},  // a key after it
        {"Hello thre.\nnext", WriteVerdict::landedThenEdited}, // a key inside it
        {"Hello there.\nne", WriteVerdict::landedThenEdited},  // the text after it cut
    };
    for (const auto& [now, verdict] : cases)
        EXPECT_EQ(judgeWrite(before, intended, now, false, written), verdict) << now;
    EXPECT_EQ(judgeWrite(before, intended, "Hello ther\nnext", false),
              WriteVerdict::landedThenEdited)
        << "without where the write stands";
    // A Backspace at once after a shorter result: the field held more before, so no limit cut it.
    EXPECT_EQ(judgeWrite("helo wrld ;;fix", "[fix] helo wrld", "[fix] helo wrl", false, {{0, 15}}),
              WriteVerdict::landedThenEdited);
}

// A paste sent after the check can meet the user's edit: the field then tells, with the caret,
// whether the paste went in beside the edit (the user's text is what to put back) or landed and
// was typed after (nothing to put back).
TEST(FieldWrite, APasteThatMetTheUsersEditGivesBackTheirText) {
    const std::string original = "helo wrld ;;fix";
    const std::string pasted = "Hello world";
    struct Case {
        const char* what;
        std::string now;
        std::optional<std::int64_t> caretNow;
        std::optional<std::string> userText;
        std::optional<std::int64_t> caret = std::nullopt;
    };
    const Case cases[] = {
        {"the caret moved: the paste went in there", "helo Hello worldwrld ;;fix", 16,
         "helo wrld ;;fix", 5},
        {"a key typed elsewhere first", "heXlo Hello worldwrld ;;fix", 17, "heXlo wrld ;;fix", 6},
        {"a key over the selection, the paste after it", "ZHello world", 12, "helo wrld ;;fixZ",
         16},
        {"a key over the selection, the paste, a key after it", "ZHello world", 13,
         "helo wrld ;;fixZ", 16},
        {"a key over the selection, no paste", "Z", 1, "helo wrld ;;fixZ", 16},
        {"the selection deleted, no paste", "", 0, "helo wrld ;;fix", 15},
        {"landed, then a key after it", "Hello worldZ", 12, std::nullopt},
        {"landed, then a key before it", "ZHello world", 1, std::nullopt},
        {"landed, then edited inside", "Hello wXorld", 8, std::nullopt},
        {"landed", "Hello world", 11, std::nullopt},
    };
    for (const auto& c : cases) {
        const bool pasteSent = !std::string_view(c.what).ends_with("no paste");
        const auto result = userTextAroundPaste(
            {original, {0, 15}, 15, pasteSent ? pasted : "", pasted, c.now, c.caretNow});
        ASSERT_EQ(result.has_value(), c.userText.has_value()) << c.what;
        if (result) {
            EXPECT_EQ(result->text, *c.userText) << c.what;
            EXPECT_EQ(result->caret, c.caret) << c.what;
        }
    }

    // A selection inside the field (a snippet's trigger): the text around it is the user's too.
    const std::string note = "Hi Ann ;;sig\nbye";
    const std::string signature = "\nBest, Ada";
    for (const bool pasteSent : {false, true}) {
        const auto now = "Hi AnnZ" + (pasteSent ? signature : "") + "\nbye";
        const auto caretNow = pasteSent ? 17 : 7;
        const auto result = userTextAroundPaste({note,
                                                 {6, 6},
                                                 12,
                                                 pasteSent ? signature : "",
                                                 "Hi Ann" + signature + "\nbye",
                                                 now,
                                                 caretNow});
        ASSERT_TRUE(result) << now;
        EXPECT_EQ(result->text, "Hi Ann ;;sigZ\nbye") << now;
        EXPECT_EQ(result->caret, 13) << now;
    }
}
