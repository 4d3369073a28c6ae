// The field text cache's rule for key presses, on a simulated desktop: keys typed into an
// application that takes each one a little later than we see it, and that reports its changes
// late or never. The poll answers from the text published at rest, else from a kept text the
// application's ping confirms, else reads the field, as the accessibility thread's cache does.
// Whatever the order of key hints, reports and changes, the trigger is seen within one poll
// period of the field holding it.

#include "platform/linux/atspi/key_settle.hpp"
#include "support/test_seed.hpp"

#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

using Time = std::chrono::milliseconds;
constexpr Time pollInterval{100};
constexpr Time maxAge{1000};

struct SimulatedKey {
    Time hinted;                // we see it
    Time taken;                 // the application's text holds it
    std::optional<Time> report; // its report reaches us (none: the application reports nothing)
};

// The cache's view of one field, in the simulation's time.
class SimulatedCache {
public:
    SimulatedCache(const std::vector<SimulatedKey>& keys, bool reports)
        : keys_(keys), reports_(reports) {}

    // The text one poll at now sees.
    std::string poll(Time now) {
        const auto hinted = count([&](const SimulatedKey& key) { return key.hinted <= now; });
        // Published at rest: no key since, no report arrived since, young enough.
        if (confirmed_ && confirmedKeys_ == hinted && now - *confirmed_ < maxAge &&
            !reportArrivedIn(*confirmed_, now))
            return *kept_;
        // Kept: the ping takes every report sent before it.
        if (settle_.mayKeep(hinted, at(now)) && kept_ && reports_ && now - keptAt_ < maxAge &&
            !reportSentIn(keptAt_, now)) {
            confirmed_ = now;
            confirmedKeys_ = hinted;
            return *kept_;
        }
        const std::string text(count([&](const SimulatedKey& key) { return key.taken <= now; }),
                               'k');
        kept_ = text;
        keptAt_ = now;
        confirmed_.reset();
        if (reports_ && settle_.mayKeep(hinted, at(now))) {
            confirmed_ = now;
            confirmedKeys_ = hinted;
        }
        return text;
    }

private:
    template <class Test> std::uint64_t count(Test test) const {
        return static_cast<std::uint64_t>(std::count_if(keys_.begin(), keys_.end(), test));
    }
    bool reportArrivedIn(Time from, Time to) const {
        return count([&](const SimulatedKey& key) {
                   return key.report && *key.report > from && *key.report <= to;
               }) > 0;
    }
    bool reportSentIn(Time from, Time to) const {
        return count([&](const SimulatedKey& key) { return key.taken > from && key.taken <= to; }) >
               0;
    }
    static KeySettle::Clock::time_point at(Time time) { return KeySettle::Clock::time_point(time); }

    const std::vector<SimulatedKey>& keys_;
    const bool reports_;
    KeySettle settle_;
    std::optional<std::string> kept_;
    Time keptAt_{};
    std::optional<Time> confirmed_;
    std::uint64_t confirmedKeys_ = 0;
};

} // namespace

TEST(KeySettle, ATypedTriggerIsSeenWithinOnePollOfTheFieldHoldingItWhateverTheOrderOfEvents) {
    const unsigned seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    auto between = [&](int low, int high) {
        return Time(std::uniform_int_distribution<int>(low, high)(random));
    };
    for (int run = 0; run < 300; ++run) {
        const bool reports = random() % 4 != 0;
        std::vector<SimulatedKey> keys;
        Time pressed = between(0, 3000);
        const int typed = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < typed; ++i) {
            pressed += between(20, 400);
            SimulatedKey key{pressed + between(0, 30), pressed + between(0, 150), std::nullopt};
            if (reports)
                key.report = key.taken + between(0, 400);
            keys.push_back(key);
        }
        Time held{0};
        for (const auto& key : keys)
            held = std::max(held, key.taken);
        const std::string trigger(keys.size(), 'k');

        // Polls every interval after the last, and at once on a key hint or a report.
        SimulatedCache cache(keys, reports);
        std::optional<Time> seen;
        for (Time now{0}; !seen && now < held + 5s;) {
            if (cache.poll(now) == trigger)
                seen = now;
            Time next = now + pollInterval;
            for (const auto& key : keys) {
                if (key.hinted > now)
                    next = std::min(next, key.hinted);
                if (key.report && *key.report > now)
                    next = std::min(next, *key.report);
            }
            now = next;
        }
        ASSERT_TRUE(seen) << "run " << run;
        ASSERT_LE(*seen - held, pollInterval)
            << "run " << run << ": " << keys.size() << " keys, reports " << reports;
    }
}
