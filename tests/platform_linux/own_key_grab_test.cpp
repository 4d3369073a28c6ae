// Focus reports that follow a key press our palette grab took are ours, not the user's; before any
// press, none is.

#include "platform/linux/activity/own_key_grab.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using Clock = std::chrono::steady_clock;

TEST(OwnKeyGrab, ExplainsOnlyTheReportsRightAfterAGrabbedPress) {
    EXPECT_FALSE(own_key_grab::explains(Clock::now())); // no press yet
    const auto before = Clock::now();
    own_key_grab::pressed();
    const auto after = Clock::now();
    EXPECT_TRUE(own_key_grab::explains(after));
    EXPECT_TRUE(own_key_grab::explains(before + own_key_grab::aftermath));
    EXPECT_FALSE(
        own_key_grab::explains(after + own_key_grab::aftermath + std::chrono::milliseconds(1)));
    EXPECT_FALSE(own_key_grab::explains(before - std::chrono::milliseconds(1)));
}
