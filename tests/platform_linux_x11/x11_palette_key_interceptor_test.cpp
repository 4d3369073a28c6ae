#include "desktop.hpp"
#include "platform/linux/x11/x11_palette_key_interceptor.hpp"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace pennial;
using namespace pennial::desktop;

namespace {

using Mode = PaletteKeyInterceptor::Mode;

class X11PaletteKeyInterceptorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "needs a desktop session";
        editor_ = std::make_unique<TestEditor>();
        // Three lines, the caret at the end of the middle one: an Up, Down, Return, Enter or Tab
        // that gets through leaves a trace where the next letter lands.
        for (const char* line : {"ab", "cd"}) {
            keyboard_.type(line);
            keyboard_.tap("Return");
        }
        keyboard_.type("ef");
        keyboard_.tap("Up");
        ASSERT_TRUE(editor_->waitForText("ab\ncd\nef")) << editor_->text();
    }

    Mode start() {
        return interceptor_.start([this](PaletteKey key) {
            EXPECT_EQ(std::this_thread::get_id(), mainThread_);
            keys_.push_back(key);
        });
    }

    // Taps the keys, waits until the handler has seen count keys in all, stops, taps marker.
    void tapAndMark(std::initializer_list<const char*> keys, std::size_t count,
                    const char* marker) {
        for (const char* key : keys)
            keyboard_.tap(key);
        EXPECT_TRUE(waitUntil([&] { return keys_.size() >= count; }));
        interceptor_.stop();
        keyboard_.tap(marker);
    }

    const std::thread::id mainThread_ = std::this_thread::get_id();
    std::unique_ptr<TestEditor> editor_;
    Keyboard keyboard_;
    X11PaletteKeyInterceptor interceptor_{mainExecutor()};
    std::vector<PaletteKey> keys_;
};

} // namespace

TEST_F(X11PaletteKeyInterceptorTest, SwallowsTheSixKeysWhileInterceptingAndReleasesThemOnStop) {
    ASSERT_EQ(start(), Mode::intercepting);
    tapAndMark({"Up", "Return", "Tab"}, 3, "x");
    EXPECT_TRUE(editor_->waitForText("ab\ncdx\nef")) << editor_->text();

    ASSERT_EQ(start(), Mode::intercepting); // grabs afresh after a stop
    tapAndMark({"Down", "KP_Enter", "Escape"}, 6, "y");
    EXPECT_TRUE(editor_->waitForText("ab\ncdxy\nef")) << editor_->text();
    EXPECT_EQ(keys_, (std::vector<PaletteKey>{PaletteKey::up, PaletteKey::returnKey,
                                              PaletteKey::tab, PaletteKey::down,
                                              PaletteKey::keypadEnter, PaletteKey::escape}));

    // Released, the keys reach the editor again and no longer the handler.
    keyboard_.tap("Return");
    keyboard_.type("z");
    EXPECT_TRUE(editor_->waitForText("ab\ncdxy\nz\nef")) << editor_->text();
    EXPECT_EQ(keys_.size(), 6u);
}

TEST_F(X11PaletteKeyInterceptorTest, HoldsTheKeysWhateverTheLocksButNotTheirOtherChords) {
    {
        const Restore numLock = lockKeyOn("Num_Lock");
        const Restore capsLock = lockKeyOn("Caps_Lock");
        ASSERT_EQ(start(), Mode::intercepting);
        keyboard_.chord({"Shift_L"}, "Return"); // a line break in the editor
        tapAndMark({"Return", "KP_Enter"}, 2, "x");
    }
    EXPECT_TRUE(editor_->waitForText("ab\ncd\nX\nef")) << editor_->text();
}

TEST_F(X11PaletteKeyInterceptorTest, ASecondStartOnlyReplacesTheHandlerWhichMayStopIt) {
    ASSERT_EQ(start(), Mode::intercepting);
    bool stopped = false;
    ASSERT_EQ(interceptor_.start([&](PaletteKey) {
        interceptor_.stop(); // as closing the palette on Escape does
        stopped = true;
    }),
              Mode::intercepting);
    keyboard_.tap("Escape");
    ASSERT_TRUE(waitUntil([&] { return stopped; }));
    keyboard_.tap("Return");
    keyboard_.type("x");
    EXPECT_TRUE(editor_->waitForText("ab\ncd\nx\nef")) << editor_->text();
    EXPECT_TRUE(keys_.empty());
}

TEST_F(X11PaletteKeyInterceptorTest, ObservesInsteadWhenAnotherApplicationHoldsAKey) {
    {
        const Restore grab = grabKeyElsewhere("Escape");
        ASSERT_EQ(start(), Mode::observing);
        // Seen, and still the editor's: no grab made before the refusal is kept.
        keyboard_.tap("Up");
        keyboard_.tap("Return");
        keyboard_.chord({"Shift_L"}, "Escape"); // not a key a grab would take: not reported
        keyboard_.tap("Escape");                // seen even though the other client has it
        tapAndMark({}, 3, "x");
    }
    EXPECT_TRUE(editor_->waitForText("ab\nx\ncd\nef")) << editor_->text();
    EXPECT_EQ(keys_,
              (std::vector<PaletteKey>{PaletteKey::up, PaletteKey::returnKey, PaletteKey::escape}));
    EXPECT_EQ(start(), Mode::intercepting); // the other client is gone
}
