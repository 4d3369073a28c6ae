#include "ui_support/qt_wait.hpp"
#include "ui/overlay/status_verbs.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace pennial {
namespace {

using namespace std::chrono_literals;
using testing::processEventsFor;
using testing::processEventsUntil;

TEST(StatusVerbs, TheTableHoldsNinetyEightWordsWithRecastingTwice) {
    const auto verbs = statusVerbs();
    ASSERT_EQ(verbs.size(), 98u);
    EXPECT_TRUE(std::none_of(verbs.begin(), verbs.end(), [](auto verb) { return verb.empty(); }));
    EXPECT_EQ(verbs[17], "Recasting");
    EXPECT_EQ(verbs[47], "Recasting");
    EXPECT_EQ(std::count(verbs.begin(), verbs.end(), "Recasting"), 2);
    // The model's first word is never drawn.
    EXPECT_EQ(std::count(verbs.begin(), verbs.end(), "Applying"), 0);
}

TEST(StatusVerbs, DrawsEveryEntryAboutEquallyOften) {
    constexpr int draws = 98 * 1000;
    std::map<std::string, int> counts;
    for (int i = 0; i < draws; ++i)
        ++counts[nextVerb()];

    ASSERT_EQ(counts.size(), 97u); // 98 entries, one word twice
    for (const auto& [verb, count] : counts) {
        const int expected = verb == "Recasting" ? 2000 : 1000;
        EXPECT_NEAR(count, expected, expected / 5) << verb; // ~6 standard deviations
    }
}

TEST(StatusVerbCycle, WritesAFreshWordEveryIntervalUntilStopped) {
    std::vector<std::string> written;
    StatusVerbCycle cycle([&](std::string verb) { written.push_back(std::move(verb)); }, 10ms);

    cycle.start();
    EXPECT_TRUE(written.empty()); // the first change comes one interval later
    ASSERT_TRUE(processEventsUntil([&] { return written.size() >= 3; }));
    for (const auto& verb : written)
        EXPECT_NE(std::find(statusVerbs().begin(), statusVerbs().end(), verb), statusVerbs().end());

    cycle.stop();
    EXPECT_FALSE(cycle.isRunning());
    const auto stoppedAt = written.size();
    processEventsFor(50ms);
    EXPECT_EQ(written.size(), stoppedAt);
}

TEST(StatusVerbCycle, ARestartLeavesOneRunningCycleAndDestructionStopsIt) {
    int writes = 0;
    {
        StatusVerbCycle cycle([&](std::string) { ++writes; }, 20ms);
        cycle.start();
        cycle.start();
        processEventsFor(110ms);
    }
    // Two cycles would have written about ten words; a slow machine only writes fewer.
    EXPECT_GE(writes, 1);
    EXPECT_LE(writes, 5);
    const int beforeDestruction = writes;
    processEventsFor(50ms);
    EXPECT_EQ(writes, beforeDestruction);
}

} // namespace
} // namespace pennial
