#include "base/unicode.hpp"
#include "trigger_fixture.hpp"

using namespace pennial;
using namespace pennial::testing;
using ::testing::StartsWith;

namespace {

class TriggerEndToEnd : public TriggerFixture {
protected:
    TriggerEndToEnd() { useRealTextMonitor = true; }

    std::size_t valueReads() const {
        return desktop.callLog()
            .calls([&](const SimCall& call) {
                return call.element == "field" && call.attribute == "AXValue" && call.isRead();
            })
            .size();
    }
    // One key, then the monitor's next look at the field.
    void typeKeyByKey(std::string_view text) {
        while (!text.empty()) {
            auto key = unicode::graphemePrefix(text, 1);
            text.remove_prefix(key.size());
            const auto reads = valueReads();
            desktop.keyboard().type(key);
            ASSERT_TRUE(runUntil([&] { return valueReads() > reads; }));
        }
    }
};

} // namespace

TEST_F(TriggerEndToEnd, ATriggerTypedKeyByKeyIsTransformedOnceAndWrittenOverItsRange) {
    launchWithField(SimElement::textField());
    typeKeyByKey("helo wrld ;;fix");
    ASSERT_TRUE(runUntil([&] { return field->text() == "[fix] helo wrld"; }));
    ASSERT_TRUE(runUntil([&] { return coordinator->statusMessage() != "Processing fix..."; }));

    ASSERT_EQ(transforms().size(), 1u);
    EXPECT_EQ(transforms()[0].json()["text"], "helo wrld");
    EXPECT_EQ(log.matching("🎯 [TextMonitor] Trigger detected").size(), 1u);
    for (const auto& write : writesTo(field))
        EXPECT_NE(write.attribute, "AXValue") << "written by range replacement";
    EXPECT_TRUE(desktop.keyboardSynthesizer()->posted().empty());
    EXPECT_THAT(coordinator->statusMessage(), StartsWith("✓ Transformed with fix ("));

    // The monitor has the command back and fires it again, into the cooldown.
    typeKeyByKey(" ;;fix");
    ASSERT_TRUE(runUntil([&] {
        return log.contains("⏳ [Pennial] Debounce: skipping trigger within 1.5s of last transform");
    }));
    EXPECT_EQ(transforms().size(), 1u);
}
