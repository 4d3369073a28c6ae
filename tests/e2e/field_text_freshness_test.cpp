// The focused field's text as the accessibility facility hands it out while the user types: never
// older than the field was when it was asked, though a field at rest is not read again on every
// poll.

#include "desktop_session.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/linux_platform_factory.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::e2e;

namespace {

class FieldTextFreshness : public ::testing::Test {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "needs a desktop session";
        workspace = makeWorkspace(mainContext().get_executor());
        accessibility = makeAccessibility(workspace);
    }

    std::optional<std::string> read(const AXElement& element) {
        auto value = accessibility->copyAttributeValue(element, ax::attribute::value);
        return value.ok() ? value.value()->asString() : std::nullopt;
    }

    std::shared_ptr<X11Workspace> workspace;
    std::shared_ptr<AtspiAccessibility> accessibility;
};

} // namespace

TEST_F(FieldTextFreshness, EveryKeyTheFieldHasTakenIsInTheNextRead) {
    TestEditor editor;
    AXElement field;
    ASSERT_TRUE(waitUntil([&] {
        auto focused = accessibility->copyAttributeValue(accessibility->systemWideElement(),
                                                         ax::attribute::focusedUIElement);
        if (focused.ok())
            field = *focused.value()->asElement();
        return bool(field);
    }));

    std::string typed;
    for (char key : std::string("the quick brown fox jumps over the lazy dog")) {
        // Read at rest, twice: the second may be the kept text.
        read(field);
        read(field);
        typed += key;
        typeOnKeyboard(std::string(1, key));
        ASSERT_TRUE(editor.waitForText(typed));
        EXPECT_EQ(read(field), typed);
    }
}
