#include "platform/clipboard.hpp"

#include <gtest/gtest.h>

using namespace pennial;

// What KWin offered for a Qt application's copy of a text, its HTML, an image and a private type.
TEST(ClipboardTypes, ASnapshotKeepsTheContentOnceAndOneImage) {
    const std::vector<std::string> offered = {"text/plain",
                                              "text/plain;charset=utf-8",
                                              "STRING",
                                              "text/plain",
                                              "text/html",
                                              "application/x-qt-image",
                                              "application/x-pennial-sample",
                                              "image/bmp",
                                              "image/png",
                                              "image/jpeg",
                                              "BITMAP",
                                              "PIXMAP",
                                              "TARGETS",
                                              "MULTIPLE",
                                              "TIMESTAMP",
                                              "SAVE_TARGETS"};
    const std::vector<std::string> kept = {
        "text/plain", "text/plain;charset=utf-8",     "STRING",
        "text/html",  "application/x-pennial-sample", "image/png"};
    EXPECT_EQ(typesWorthKeeping(offered), kept);
    // Without a PNG, the first image offered stands for them all.
    EXPECT_EQ(typesWorthKeeping({"image/jpeg", "image/bmp", "text/plain"}),
              (std::vector<std::string>{"image/jpeg", "text/plain"}));
}
