#include "desktop.hpp"
#include "platform/linux/xinput_key_event_source.hpp"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace pennial;
using namespace pennial::desktop;

namespace {

class XInputKeyEventSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "needs a desktop session";
        ASSERT_TRUE(source_.startObserving([this](const KeyDownEvent& event) {
            EXPECT_EQ(std::this_thread::get_id(), mainThread_);
            events_.push_back(event);
        }));
    }

    // The text the presses produced, keys with a meaning of their own left out.
    std::string typed() const {
        std::string text;
        for (const KeyDownEvent& event : events_) {
            if (event.key == Key::other)
                text += event.characters;
        }
        return text;
    }

    bool waitForEvents(std::size_t count) {
        return waitUntil([&] { return events_.size() >= count; });
    }

    const std::thread::id mainThread_ = std::this_thread::get_id();
    XInputKeyEventSource source_{mainExecutor()};
    std::vector<KeyDownEvent> events_;
    Keyboard keyboard_;
};

} // namespace

TEST_F(XInputKeyEventSourceTest, SeesTheTextTypedIntoAnApplication) {
    TestEditor editor;
    const std::string text = "Hello, World! (a+b)*2 = \"x\"; ok?";
    keyboard_.type(text);
    EXPECT_TRUE(waitUntil([&] { return typed() == text; })) << typed();
    EXPECT_TRUE(editor.waitForText(text)) << editor.text();

    const KeyDownEvent& h = events_.front();
    EXPECT_EQ(h.characters, "H");
    EXPECT_EQ(h.modifiers, KeyModifier::shift);
}

TEST_F(XInputKeyEventSourceTest, NamesTheKeysWithAMeaningAndTheHeldModifiers) {
    for (const char* key : {"Return", "KP_Enter", "Tab", "Escape", "BackSpace", "Delete", "Home",
                            "End", "Prior", "Next", "Left", "Right", "Up", "Down"})
        keyboard_.tap(key);
    keyboard_.chord({"Control_L"}, "v");
    keyboard_.chord({"Shift_L"}, "Tab");
    ASSERT_TRUE(waitForEvents(16));

    const std::vector<Key> expected = {
        Key::returnKey, Key::keypadEnter,   Key::tab,       Key::escape,
        Key::backspace, Key::forwardDelete, Key::home,      Key::end,
        Key::pageUp,    Key::pageDown,      Key::leftArrow, Key::rightArrow,
        Key::upArrow,   Key::downArrow,     Key::other,     Key::tab};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events_[i].key, expected[i]) << "event " << i;
        if (i < 14)
            EXPECT_EQ(events_[i].modifiers, 0u) << "event " << i;
    }
    // Modifier keys themselves are not key-downs of their own.
    EXPECT_EQ(events_.size(), 16u);
    EXPECT_EQ(events_[14].modifiers, KeyModifier::control);
    EXPECT_EQ(events_[14].characters, "v");
    EXPECT_EQ(events_[15].modifiers, KeyModifier::shift);
}

TEST_F(XInputKeyEventSourceTest, FollowsCapsLockAndTheAltGrLevelOfALayoutChosenLater) {
    {
        KeyboardLayout german("de");
        pumpFor(50ms); // the new keymap reaches the source before the next key
        keyboard_.chord({"ISO_Level3_Shift"}, "q"); // AltGr+Q types @
        keyboard_.chord({"Shift_L"}, "2");          // Shift+2 types " (@ on a US keyboard)
        ASSERT_TRUE(waitForEvents(2));
    }
    EXPECT_EQ(typed(), "@\"");
    EXPECT_EQ(events_[0].modifiers, KeyModifier::option);

    events_.clear();
    pumpFor(50ms);
    {
        LockKeyOn capsLock("Caps_Lock");
        keyboard_.tap("a");
        keyboard_.tap("1");
        keyboard_.chord({"Shift_L"}, "b");
    }
    keyboard_.tap("c");
    ASSERT_TRUE(waitForEvents(4));
    EXPECT_EQ(typed(), "A1bc");
    EXPECT_EQ(events_[0].modifiers, KeyModifier::capsLock);
}

TEST_F(XInputKeyEventSourceTest, StopsDeliveringOnceStopped) {
    keyboard_.tap("a");
    ASSERT_TRUE(waitForEvents(1));
    source_.stopObserving();
    keyboard_.tap("b");
    pumpFor(100ms);
    EXPECT_EQ(typed(), "a");

    // Started again, with a new handler that replaces the old one on a second start.
    std::string seen;
    ASSERT_TRUE(source_.startObserving([](const KeyDownEvent&) { ADD_FAILURE(); }));
    ASSERT_TRUE(source_.startObserving([&](const KeyDownEvent& e) { seen += e.characters; }));
    keyboard_.tap("c");
    EXPECT_TRUE(waitUntil([&] { return seen == "c"; }));
}
