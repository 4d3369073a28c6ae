// What a Wayland session needs of the platform layer that can be checked without one: telling the
// session apart, and the text that raw key codes type under the keymap's state.

#include "platform/linux/input/xkb_key_translator.hpp"
#include "platform/linux/session/display_session.hpp"
#include "platform/sim/sim_environment.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace pennial;

TEST(DisplaySession, TheSessionTypeWinsOverWhicheverDisplaysAreSet) {
    EXPECT_EQ(detectDisplaySession(SimEnvironment({{"XDG_SESSION_TYPE", "wayland"}})),
              DisplaySession::wayland);
    // A nested compositor started from an X11 session leaves its socket in the environment.
    EXPECT_EQ(detectDisplaySession(
                  SimEnvironment({{"XDG_SESSION_TYPE", "x11"}, {"WAYLAND_DISPLAY", "wayland-1"}})),
              DisplaySession::x11);
    EXPECT_EQ(detectDisplaySession(SimEnvironment({{"WAYLAND_DISPLAY", "wayland-0"}})),
              DisplaySession::wayland);
    EXPECT_EQ(detectDisplaySession(
                  SimEnvironment({{"XDG_SESSION_TYPE", "tty"}, {"WAYLAND_DISPLAY", ""}})),
              DisplaySession::x11);
}

TEST(XkbKeyTranslator, FollowsHeldModifiersAndLocksAcrossPressesAndReleases) {
    ::setenv("XKB_DEFAULT_LAYOUT", "us", 1);
    auto keys = XkbKeyTranslator::fromEnvironment();
    ASSERT_TRUE(keys);
    auto press = [&](unsigned code) { return keys->keyChanged(code, true); };
    auto release = [&](unsigned code) { keys->keyChanged(code, false); };

    EXPECT_EQ(press(KEY_LEFTSHIFT), std::nullopt); // a modifier types nothing itself
    auto shifted = press(KEY_A);
    release(KEY_A);
    release(KEY_LEFTSHIFT);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(shifted->characters, "A");
    EXPECT_EQ(shifted->modifiers, KeyModifier::shift);
    EXPECT_EQ(press(KEY_SEMICOLON)->characters, ";");
    EXPECT_EQ(keys->keyRepeated(KEY_SEMICOLON)->characters, ";");
    release(KEY_SEMICOLON);

    press(KEY_LEFTCTRL);
    auto chord = press(KEY_A);
    release(KEY_A);
    release(KEY_LEFTCTRL);
    ASSERT_TRUE(chord);
    EXPECT_EQ(chord->modifiers, KeyModifier::control);
    EXPECT_EQ(chord->characters, "a");

    press(KEY_CAPSLOCK);
    release(KEY_CAPSLOCK);
    auto locked = press(KEY_B);
    release(KEY_B);
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->characters, "B");
    EXPECT_EQ(locked->modifiers, KeyModifier::capsLock);

    EXPECT_EQ(press(KEY_ENTER)->key, Key::returnKey);
    EXPECT_EQ(press(KEY_UP)->key, Key::upArrow);
}
