#include "desktop.hpp"
#include "platform/linux/qt/qt_clipboard.hpp"
#include "platform/linux/x11/xtest_keyboard_synthesizer.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::desktop;

namespace {

class XTestKeyboardSynthesizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "needs a desktop session";
        clipboard_ = std::make_unique<QtClipboard>();
    }

    // What the select-all keyboard paste sends.
    void selectAllAndPaste() {
        synthesizer_.post(Shortcut::selectAll);
        synthesizer_.post(Shortcut::paste);
    }

    std::unique_ptr<QtClipboard> clipboard_;
    XTestKeyboardSynthesizer synthesizer_;
    Keyboard keyboard_;
};

} // namespace

TEST_F(XTestKeyboardSynthesizerTest, SelectAllThenPasteReplacesTheFieldsText) {
    for (const char* field : {"multi", "single"}) {
        TestEditor editor(field);
        keyboard_.type("old words");
        ASSERT_TRUE(editor.waitForText("old words")) << field;
        clipboard_->setText("new text, résumé ✓ 😀");
        selectAllAndPaste();
        EXPECT_TRUE(editor.waitForText("new text, résumé ✓ 😀")) << field << ": " << editor.text();
    }
}

TEST_F(XTestKeyboardSynthesizerTest, ShortcutsArriveAsThemselvesWhateverTheUserHolds) {
    TestEditor editor;
    keyboard_.type("old");
    ASSERT_TRUE(editor.waitForText("old"));
    clipboard_->setText("new");
    {
        const Restore capsLock = lockKeyOn("Caps_Lock");
        keyboard_.press("Shift_L");
        keyboard_.press("Alt_L");
        selectAllAndPaste();
        EXPECT_TRUE(editor.waitForText("new")) << editor.text();
        // The user lets go of keys already released for the shortcut: nothing happens.
        keyboard_.release("Alt_L");
        keyboard_.release("Shift_L");
    }
    keyboard_.type("!");
    EXPECT_TRUE(editor.waitForText("new!")) << editor.text();
}
