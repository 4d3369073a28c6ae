#include "desktop.hpp"
#include "platform/linux/x11/xinput_key_event_source.hpp"

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
        for (const KeyDownEvent& event : events_)
            text += event.key == Key::other ? event.characters : "";
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
    EXPECT_TRUE(editor.waitForText(text));
    EXPECT_EQ(events_.front().modifiers, KeyModifier::shift);
}

TEST_F(XInputKeyEventSourceTest, NamesTheKeysWithAMeaningAndTheHeldModifiers) {
    for (const char* key : {"KP_Enter", "BackSpace", "Delete", "Next", "Up"})
        keyboard_.tap(key);
    keyboard_.chord({"Control_L"}, "v");
    keyboard_.chord({"Shift_L"}, "Tab");
    keyboard_.chord({"Alt_L"}, "x"); // a shortcut, not AltGr's other character
    ASSERT_TRUE(waitForEvents(8));
    pumpFor(20ms);
    ASSERT_EQ(events_.size(), 8u); // modifier keys are no key-downs of their own

    const std::vector<Key> keys = {Key::keypadEnter, Key::backspace, Key::forwardDelete,
                                   Key::pageDown,    Key::upArrow,   Key::other,
                                   Key::tab};
    for (std::size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(events_[i].key, keys[i]) << "event " << i;
    EXPECT_EQ(events_[0].modifiers, 0u);
    EXPECT_EQ(events_[5].modifiers, KeyModifier::control);
    EXPECT_EQ(events_[5].characters, "v");
    EXPECT_EQ(events_[6].modifiers, KeyModifier::shift);
    EXPECT_EQ(events_[7].modifiers, KeyModifier::alt);
}

// The keyboard state comes from the server's notifications, in order with the keys: asking for
// it at each press would see modifiers already released and a stale keymap.
TEST_F(XInputKeyEventSourceTest, FollowsCapsLockAndTheAltGrLevelOfALayoutChosenLater) {
    {
        const Restore german = keyboardLayout("de");
        pumpFor(50ms);
        keyboard_.chord({"ISO_Level3_Shift"}, "q"); // AltGr+Q types @
        keyboard_.chord({"Shift_L"}, "2");          // " here, @ on a US keyboard
        ASSERT_TRUE(waitForEvents(2));
    }
    EXPECT_EQ(typed(), "@\"");
    EXPECT_EQ(events_[0].modifiers, KeyModifier::option);

    events_.clear();
    pumpFor(50ms);
    {
        const Restore capsLock = lockKeyOn("Caps_Lock");
        keyboard_.tap("a");
        keyboard_.tap("1");
        keyboard_.chord({"Shift_L"}, "b");
    }
    keyboard_.tap("c");
    ASSERT_TRUE(waitForEvents(4));
    EXPECT_EQ(typed(), "A1bc");
    EXPECT_EQ(events_[0].modifiers, KeyModifier::capsLock);
}

TEST_F(XInputKeyEventSourceTest, StopsDeliveringOnceStoppedAndReplacesTheHandlerOnASecondStart) {
    keyboard_.tap("a");
    ASSERT_TRUE(waitForEvents(1));
    source_.stopObserving();
    keyboard_.tap("b");
    pumpFor(100ms);
    EXPECT_EQ(typed(), "a");

    std::string seen;
    ASSERT_TRUE(source_.startObserving([](const KeyDownEvent&) { ADD_FAILURE(); }));
    ASSERT_TRUE(source_.startObserving([&](const KeyDownEvent& e) { seen += e.characters; }));
    keyboard_.tap("c");
    EXPECT_TRUE(waitUntil([&] { return seen == "c"; }));
}
