#include "platform/sim/sim_desktop.hpp"

#include <gtest/gtest.h>

using namespace pennial;

namespace {

class SimShortcutsTest : public ::testing::Test {
protected:
    SimShortcutsTest() {
        field = desktop.addApplication({501, "org.example.notes", "Notes"})
                    ->addWindow("Notes")
                    ->add(SimElement::textArea("one two"));
        desktop.focus(field);
    }

    SimDesktop desktop;
    SimElementPtr field;
    std::shared_ptr<SimClipboard> clipboard = desktop.clipboard();
    std::shared_ptr<SimKeyboardSynthesizer> keys = desktop.keyboardSynthesizer();
};

} // namespace

TEST_F(SimShortcutsTest, TheFocusedFieldSelectsAllAndPastesTheClipboardsText) {
    field->setSelection({4, 3});
    clipboard->copy({ClipboardItem{{{"image/png", "png"}, {"text/plain", "2"}}}});
    keys->post(Shortcut::paste);
    EXPECT_EQ(field->text(), "one 2");
    keys->post(Shortcut::selectAll);
    EXPECT_EQ(field->selection(), (AXRange{0, 5}));
    clipboard->setText("all new");
    keys->post(Shortcut::paste);
    EXPECT_EQ(field->text(), "all new");

    clipboard->copy({ClipboardItem{{{"image/png", "png"}}}});
    keys->post(Shortcut::paste);
    EXPECT_EQ(field->text(), "all new") << "nothing textual to paste";
    field->refusePaste();
    clipboard->setText("x");
    keys->post(Shortcut::paste);
    EXPECT_EQ(field->text(), "all new");
    EXPECT_EQ(clipboard->changeCount(), 4) << "every write counts; pasting reads only";
}

TEST_F(SimShortcutsTest, RefusedWritesAnswerFailureAndChangeNothing) {
    auto& ax = *desktop.accessibility();
    auto element = *ax.copyAttributeValue(ax.systemWideElement(), ax::attribute::focusedUIElement)
                        .value()
                        ->asElement();
    field->refuseRangeReplacement()->refuseValueWrites()->refuseSelectionWrites();
    EXPECT_EQ(ax.setAttributeValue(element, ax::attribute::selectedText, "x"), AXError::failure);
    EXPECT_EQ(ax.setAttributeValue(element, ax::attribute::value, "x"), AXError::failure);
    EXPECT_EQ(ax.setAttributeValue(element, ax::attribute::selectedTextRange, AXRange{0, 1}),
              AXError::failure);
    EXPECT_EQ(field->text(), "one two");
}
