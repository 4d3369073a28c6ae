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
        {"Hello. next", true, WriteVerdict::landed},            // or turns them into spaces
        {"helo ;;fix\nnext", false, WriteVerdict::untouched},
        {"helo ;;fixX\nnext", false, WriteVerdict::changed}, // typed before the write landed
        {"Hi ;;fix\nnext", false, WriteVerdict::changed},
        {"Hello.\nnexX", false, WriteVerdict::landedThenEdited},
        {"Hxllo.\nnext", false, WriteVerdict::landedThenEdited},
    };
    for (const auto& [now, singleLine, verdict] : cases)
        EXPECT_EQ(judgeWrite(before, intended, now, singleLine), verdict) << now;
}
