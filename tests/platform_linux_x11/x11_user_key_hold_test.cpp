#include "desktop.hpp"
#include "nested_display.hpp"
#include "platform/linux/x11/x11_user_key_hold.hpp"
#include "support/test_seed.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using namespace pennial;
using namespace pennial::desktop;

namespace {

class X11UserKeyHoldTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "needs a desktop session";
        if (nested_.name().empty())
            GTEST_SKIP() << "needs Xnest";
        hold_ = openHold(std::chrono::milliseconds(1500));
        ASSERT_TRUE(hold_);
    }

    // The hold opens $DISPLAY, as the program does: here the nested one.
    std::unique_ptr<X11UserKeyHold> openHold(std::chrono::milliseconds longest) {
        const char* session = std::getenv("DISPLAY");
        const std::string sessionDisplay = session ? session : "";
        setenv("DISPLAY", nested_.name().c_str(), 1);
        auto hold = X11UserKeyHold::open(longest);
        setenv("DISPLAY", sessionDisplay.c_str(), 1);
        return hold;
    }

    NestedDisplay nested_;
    std::unique_ptr<X11UserKeyHold> hold_;
};

} // namespace

TEST_F(X11UserKeyHoldTest, KeysTypedWhileHeldFollowTheProgramsInTheirOrder) {
    nested_.handsTap("a");
    hold_->hold();
    nested_.handsTap("b");
    nested_.handsTap("c");
    // The program's own keys are not held.
    nested_.programTaps("x");
    EXPECT_EQ(nested_.typed(), "ax");
    hold_->release();
    nested_.handsTap("d");
    EXPECT_EQ(nested_.typed(), "axbcd");
    // Nothing is held between holds, and a release without a hold changes nothing.
    hold_->release();
    nested_.handsTap("e");
    EXPECT_EQ(nested_.typed(), "axbcde");
}

TEST_F(X11UserKeyHoldTest, AShiftHeldAcrossTheHoldShiftsWhatItShouldAndNoMore) {
    // Down before the hold, up during it: the held letter is shifted, the next one is not.
    nested_.handsPress("Shift_L");
    hold_->hold();
    nested_.handsTap("z");
    nested_.handsRelease("Shift_L");
    hold_->release();
    nested_.handsTap("a");
    // Down during the hold, up after it.
    hold_->hold();
    nested_.handsPress("Shift_L");
    nested_.handsTap("b");
    hold_->release();
    nested_.handsTap("c");
    nested_.handsRelease("Shift_L");
    nested_.handsTap("d");
    // Down before a hold whose shortcut lets go of the modifiers held, up after it: the keys
    // typed while held are shifted still.
    nested_.handsPress("Shift_L");
    hold_->hold();
    nested_.programReleases("Shift_L");
    nested_.handsTap("e");
    hold_->release();
    nested_.handsRelease("Shift_L");
    nested_.handsTap("f");
    EXPECT_EQ(nested_.typed(), "ZaBCdEf");
}

TEST_F(X11UserKeyHoldTest, AHoldLeftStandingGivesTheKeyboardBack) {
    auto hold = openHold(std::chrono::milliseconds(200));
    ASSERT_TRUE(hold);
    hold->hold();
    nested_.handsTap("q");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    nested_.handsTap("r");
    EXPECT_EQ(nested_.typed(), "qr");
}

// Holds come and go at random moments while the user types on: every key arrives once, in order,
// with its Shift.
TEST_F(X11UserKeyHoldTest, KeysTypedThroughHoldsAtRandomMomentsArriveWholeAndInOrder) {
    const unsigned seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    const std::string text = "The Quick brown Fox 0123 jumps OVER the lazy Dog 4567 again";
    for (int round = 0; round < 4; ++round) {
        QProcess typing;
        typing.start("xdotool", {"type", "--delay", "12", QString::fromStdString(text)});
        ASSERT_TRUE(typing.waitForStarted());
        while (!typing.waitForFinished(0)) {
            hold_->hold();
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 60 + 5));
            hold_->release();
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
        }
        EXPECT_EQ(nested_.typed(), text) << "round " << round;
        nested_.clearTyped();
    }
}
