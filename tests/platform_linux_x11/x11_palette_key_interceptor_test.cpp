#include "desktop.hpp"
#include "platform/linux/x11_palette_key_interceptor.hpp"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace pennial;
using namespace pennial::desktop;

namespace {

class X11PaletteKeyInterceptorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "needs a desktop session";
        editor_ = std::make_unique<TestEditor>();
        // Three lines, the caret at the end of the middle one: Up, Down, Return, Enter and Tab
        // that get through all leave a trace where the next letter lands.
        for (const char* line : {"ab", "cd"}) {
            keyboard_.type(line);
            keyboard_.tap("Return");
        }
        keyboard_.type("ef");
        keyboard_.tap("Up");
        ASSERT_TRUE(editor_->waitForText("ab\ncd\nef")) << editor_->text();
    }

    PaletteKeyInterceptor::Mode start() {
        return interceptor_.start([this](PaletteKey key) {
            EXPECT_EQ(std::this_thread::get_id(), mainThread_);
            keys_.push_back(key);
        });
    }

    bool waitForKeys(std::size_t count) {
        return waitUntil([&] { return keys_.size() >= count; });
    }

    const std::thread::id mainThread_ = std::this_thread::get_id();
    std::unique_ptr<TestEditor> editor_;
    Keyboard keyboard_;
    X11PaletteKeyInterceptor interceptor_{mainExecutor()};
    std::vector<PaletteKey> keys_;
};

} // namespace

TEST_F(X11PaletteKeyInterceptorTest, SwallowsTheSixKeysWhileInterceptingAndReleasesThemOnStop) {
    ASSERT_EQ(start(), PaletteKeyInterceptor::Mode::intercepting);
    for (const char* key : {"Up", "Return", "Tab"})
        keyboard_.tap(key);
    ASSERT_TRUE(waitForKeys(3));
    interceptor_.stop();
    keyboard_.tap("x");
    EXPECT_TRUE(editor_->waitForText("ab\ncdx\nef")) << editor_->text();

    // Again, with the other three: started after a stop, it grabs afresh.
    ASSERT_EQ(start(), PaletteKeyInterceptor::Mode::intercepting);
    for (const char* key : {"Down", "KP_Enter", "Escape"})
        keyboard_.tap(key);
    ASSERT_TRUE(waitForKeys(6));
    interceptor_.stop();
    keyboard_.tap("y");
    EXPECT_TRUE(editor_->waitForText("ab\ncdxy\nef")) << editor_->text();

    EXPECT_EQ(keys_, (std::vector<PaletteKey>{PaletteKey::up, PaletteKey::returnKey,
                                              PaletteKey::tab, PaletteKey::down,
                                              PaletteKey::keypadEnter, PaletteKey::escape}));

    // Released, the keys reach the editor again and no longer the handler.
    keyboard_.tap("Return");
    keyboard_.tap("z");
    EXPECT_TRUE(editor_->waitForText("ab\ncdxy\nz\nef")) << editor_->text();
    EXPECT_EQ(keys_.size(), 6u);
}

TEST_F(X11PaletteKeyInterceptorTest, HoldsTheKeysWhateverCapsLockAndNumLockAreSetTo) {
    {
        LockKeyOn numLock("Num_Lock");
        LockKeyOn capsLock("Caps_Lock");
        ASSERT_EQ(start(), PaletteKeyInterceptor::Mode::intercepting);
        keyboard_.tap("Return");
        keyboard_.tap("KP_Enter");
        ASSERT_TRUE(waitForKeys(2));
        interceptor_.stop();
    }
    keyboard_.tap("x");
    EXPECT_TRUE(editor_->waitForText("ab\ncdx\nef")) << editor_->text();
}

TEST_F(X11PaletteKeyInterceptorTest, LeavesOtherChordsOfTheKeysToTheApplication) {
    ASSERT_EQ(start(), PaletteKeyInterceptor::Mode::intercepting);
    keyboard_.chord({"Shift_L"}, "Return"); // a line break in the editor
    keyboard_.tap("x");
    EXPECT_TRUE(editor_->waitForText("ab\ncd\nx\nef")) << editor_->text();
    EXPECT_TRUE(keys_.empty());
}

TEST_F(X11PaletteKeyInterceptorTest, ASecondStartOnlyReplacesTheHandler) {
    ASSERT_EQ(start(), PaletteKeyInterceptor::Mode::intercepting);
    std::vector<PaletteKey> second;
    ASSERT_EQ(interceptor_.start([&](PaletteKey key) { second.push_back(key); }),
              PaletteKeyInterceptor::Mode::intercepting);
    keyboard_.tap("Escape");
    ASSERT_TRUE(waitUntil([&] { return !second.empty(); }));
    EXPECT_TRUE(keys_.empty());

    // Stopping from inside the handler, as closing the palette on Escape does.
    bool stopped = false;
    ASSERT_EQ(interceptor_.start([&](PaletteKey) {
        interceptor_.stop();
        stopped = true;
    }),
              PaletteKeyInterceptor::Mode::intercepting);
    keyboard_.tap("Escape");
    ASSERT_TRUE(waitUntil([&] { return stopped; }));
    keyboard_.tap("Return");
    keyboard_.tap("x");
    EXPECT_TRUE(editor_->waitForText("ab\ncd\nx\nef")) << editor_->text();
}

TEST_F(X11PaletteKeyInterceptorTest, ObservesInsteadWhenAnotherApplicationHoldsAKey) {
    {
        ForeignKeyGrab grab("Escape");
        ASSERT_EQ(start(), PaletteKeyInterceptor::Mode::observing);
        // Seen, and still the editor's: none of the grabs made before the refusal is kept.
        keyboard_.tap("Up");
        keyboard_.tap("Return");
        keyboard_.chord({"Shift_L"}, "Escape"); // not a key a grab would take: not reported
        keyboard_.tap("Escape");                // seen even though the other client has it
        ASSERT_TRUE(waitForKeys(3));
        keyboard_.tap("x");
        EXPECT_TRUE(editor_->waitForText("ab\nx\ncd\nef")) << editor_->text();
        EXPECT_EQ(keys_, (std::vector<PaletteKey>{PaletteKey::up, PaletteKey::returnKey,
                                                  PaletteKey::escape}));
        interceptor_.stop();
    }
    // With the other client gone, the next start intercepts.
    EXPECT_EQ(start(), PaletteKeyInterceptor::Mode::intercepting);
}
