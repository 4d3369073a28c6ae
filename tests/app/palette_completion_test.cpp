#include "app/palette_completion.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(PaletteCompletion, TheTypedPatternAtTheEndBecomesTheFullName) {
    EXPECT_EQ(textWithCompletedTrigger("Dear Ann ;;po", ";;po", ";;polish"), "Dear Ann ;;polish");
    // White space after it goes too, line breaks and wide spaces included; the first place
    // from which only white space follows wins.
    EXPECT_EQ(textWithCompletedTrigger("a ;;po \n\u3000", ";;po", ";;polish"), "a ;;polish");
    EXPECT_EQ(textWithCompletedTrigger("a ;; \n", ";; ", ";; polish"), "a ;; polish");
    EXPECT_EQ(textWithCompletedTrigger("a ;;po, b", ";;po", ";;polish"), "a ;;po, b");
    EXPECT_EQ(textWithCompletedTrigger(";;po\nnext", ";;po", ";;polish"), ";;po\nnext");
    // A trigger pattern made of characters a replacement template would read as references.
    EXPECT_EQ(textWithCompletedTrigger("x $1\\ \n", "$1\\", "$1\\fix"), "x $1\\fix");
    EXPECT_EQ(textWithCompletedTrigger("😀;;po  ", ";;po", ";;polish"), "😀;;polish");
}
