// The focused field's text as the accessibility facility hands it out while the user types: never
// older than the field was when it was asked, though a field at rest is not read again on every
// poll; and the monitor at rest over it: the field is not read on every tick, and a change its
// application does not report is still seen within a second and a tick.

#include "base/resting_wait.hpp"
#include "desktop_session.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/linux_platform_factory.hpp"
#include "platform/linux/x11/xinput_key_event_source.hpp"
#include "support/monitor_harness.hpp"

#include <atomic>
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

// A provider that counts the monitor's reads of the field's text.
class CountingProvider : public AXAccessibilityProvider {
public:
    using AXAccessibilityProvider::AXAccessibilityProvider;
    Awaitable<std::string> getValue(AccessibleElement element) override {
        ++reads;
        co_return co_await AXAccessibilityProvider::getValue(std::move(element));
    }
    std::atomic<int> reads{0};
};

TEST_F(FieldTextFreshness, AFieldAtRestIsNotReadOnEveryTickAndAnUnreportedChangeIsSeenInASecond) {
    // Focused before monitoring starts: no report of its focus, nor of its text, ever comes.
    TestEditor editor;
    const auto main = mainContext().get_executor();
    auto provider = std::make_shared<CountingProvider>(
        std::make_shared<ContextStrategyRouter>(accessibility),
        AXAccessibilityProvider::Facilities{accessibility, workspace, makeScreens(), main});
    auto monitor = TextMonitor::create(
        std::make_shared<AccessibilityMonitor>(provider), ";;",
        {workspace, makeKeyEventSource(main), main, sleepFor, desktopActivity(), waitWhileResting},
        pollingPool().get_executor());
    auto delegate = std::make_shared<MonitorDelegateRecorder>();
    auto run = [&](Awaitable<void> operation) {
        auto done = std::make_shared<bool>(false);
        asio::co_spawn(main, std::move(operation), [done](std::exception_ptr) { *done = true; });
        ASSERT_TRUE(waitUntil([&] { return *done; }));
    };
    run(monitor->setDelegate(delegate));
    run(monitor->updateValidCommandNames({"fix"}));
    run(monitor->startMonitoring());

    ASSERT_TRUE(waitUntil([&] { return provider->reads > 0; })) << "the focused field is found";
    pumpFor(1s);
    const int readsAtRest = provider->reads;
    pumpFor(3s);
    EXPECT_LE(provider->reads - readsAtRest, 3) << "30 ticks at rest";

    editor.appendUnreported("Dear Ann ;;");
    const auto appended = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const auto& event : delegate->take())
                if (event.starts_with("query [;;]"))
                    return true;
            return false;
        },
        3s));
    // A second and a tick, with room for a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - appended, 1300ms);
    run(monitor->stopMonitoring());
    while (monitor.use_count() > 1)
        pumpFor(10ms);
}
