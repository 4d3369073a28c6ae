// The search for an active window that no event announced, against a model desktop: some
// applications report their activations, some never do, and all of them are active in turn and
// busy in the background. The oracle knows when a search is due, when a follow-up is owed, and
// which window is active.

#include "platform/linux/activity/active_window_search.hpp"
#include "support/test_seed.hpp"

#include <gtest/gtest.h>
#include <map>
#include <random>

using namespace pennial;
using namespace std::chrono_literals;
using Clock = ActiveWindowSearch::Clock;

TEST(ActiveWindowSearch, FindsSilentApplicationsOnlyWhenActiveAndSearchesEachAtMostOnceAnInterval) {
    const auto seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    auto chance = [&](int percent) {
        return std::uniform_int_distribution(0, 99)(random) < percent;
    };
    auto anyApplication = [&] { return std::uniform_int_distribution<Pid>(1, 4)(random); };

    // Applications 1 and 2 say when their window becomes active; 3 and 4 never do.
    auto reports = [](Pid pid) { return pid <= 2; };
    std::optional<Pid> active; // whose window really is active
    std::optional<Pid> known;  // what the workspace was told
    ActiveWindowSearch search({[&] { return known; },
                               [&](Pid pid) {
                                   EXPECT_EQ(std::optional(pid), active) << "reported inactive";
                                   known = pid;
                               }});

    struct Searched {
        Clock::time_point at;
        bool followUpOwed = false;
    };
    std::map<Pid, Searched> searched;
    std::multimap<Clock::time_point, Pid> followUps; // what the caller notes again, and when
    int found = 0;
    auto note = [&](Pid pid, Clock::time_point now) {
        auto last = searched.find(pid);
        const bool recent = last != searched.end() && now - last->second.at < 500ms;
        const bool due = known != pid && !recent;
        bool ran = false;
        auto followUp = search.noteActivity(pid, now, [&] {
            ran = true;
            return active == pid;
        });
        ASSERT_EQ(ran, due) << "pid " << pid;
        if (ran) {
            searched[pid] = {now};
            if (active == pid) {
                // Found at its first search: typing in it from now on is typing in the known one.
                EXPECT_EQ(known, pid);
                ++found;
            }
        }
        // Too soon after a search: one follow-up for the interval's end, and only one.
        const bool owed = known != pid && recent && !std::exchange(last->second.followUpOwed, true);
        ASSERT_EQ(followUp.has_value(), owed) << "pid " << pid;
        if (followUp) {
            EXPECT_EQ(*followUp, last->second.at + ActiveWindowSearch::searchInterval);
            followUps.emplace(*followUp, pid);
        }
    };

    auto now = Clock::time_point{} + 1h;
    for (int step = 0; step < 20000; ++step) {
        const auto next =
            now + std::chrono::milliseconds(std::uniform_int_distribution(0, 300)(random));
        while (!followUps.empty() && followUps.begin()->first <= next) {
            auto [at, pid] = *followUps.begin();
            followUps.erase(followUps.begin());
            now = at;
            note(pid, now);
        }
        now = next;
        if (chance(5)) {
            active = chance(10) ? std::nullopt : std::optional(anyApplication());
            if (active && reports(*active))
                known = active;
            continue;
        }
        // Most of what happens happens in the active window; the rest in the background.
        note(active && chance(70) ? *active : anyApplication(), now);
        if (::testing::Test::HasFatalFailure())
            return;
    }
    EXPECT_GT(found, 0);
}
