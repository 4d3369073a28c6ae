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
    auto body = transforms()[0].json();
    EXPECT_EQ(body["text"], "helo wrld");
    EXPECT_EQ(body["command"], "fix");
    EXPECT_EQ(body["content"], AppConfig::defaultCommands()[0].content);
    EXPECT_EQ(log.matching("🎯 [TextMonitor] Trigger detected: cmd=fix pattern=;;fix offset=10"),
              std::vector<std::string>{
                  "🎯 [TextMonitor] Trigger detected: cmd=fix pattern=;;fix offset=10"});
    EXPECT_TRUE(log.contains("✅ [Pennial] Text replaced via range replacement"));
    auto writes = writesTo(field);
    ASSERT_FALSE(writes.empty());
    for (const auto& write : writes)
        EXPECT_NE(write.attribute, "AXValue") << "no whole-value write";
    EXPECT_TRUE(desktop.keyboardSynthesizer()->posted().empty());
    EXPECT_THAT(coordinator->statusMessage(), StartsWith("✓ Transformed with fix ("));
    EXPECT_EQ(coordinator->lastError(), std::nullopt);
    EXPECT_FALSE(overlay->processing);

    // The monitor has the command back and fires it again, into the cooldown.
    typeKeyByKey(" ;;fix");
    ASSERT_TRUE(runUntil([&] {
        return log.contains("⏳ [Pennial] Debounce: skipping trigger within 1.5s of last transform");
    }));
    EXPECT_EQ(transforms().size(), 1u);
}
