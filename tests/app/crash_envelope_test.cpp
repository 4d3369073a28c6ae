#include "app/crash_envelope.hpp"
#include "support/test_seed.hpp"

#include <gtest/gtest.h>
#include <random>

using namespace pennial;

// A report file may be anything: cut short, edited, written by another version. Each member of a
// report is given a value of a random kind. Oracle: an event comes out with its fixed members, or
// a std::exception (the report is then dropped as unreadable); never anything else.
TEST(CrashEnvelope, AReportOfAnyShapeGivesAnEventOrAClearError) {
    auto seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    SecretScrubber scrubber;
    auto anyValue = [&](int depth, auto& self) -> Json {
        switch (random() % (depth > 2 ? 5 : 7)) {
        case 0:
            return nullptr;
        case 1:
            return static_cast<int>(random() % 100) - 50;
        case 2:
            return "text " + std::to_string(random() % 1000000);
        case 3:
            return random() % 2 == 0;
        case 4:
            return 1.5e300;
        case 5:
            return Json::array({self(depth + 1, self), self(depth + 1, self)});
        default:
            return Json{{"type", self(depth + 1, self)},
                        {"value", self(depth + 1, self)},
                        {"name", self(depth + 1, self)},
                        {"number", self(depth + 1, self)}};
        }
    };
    const char* members[] = {"event_id",  "level",     "release", "environment",
                             "timestamp", "exception", "signal",  "breadcrumbs"};
    int events = 0;
    for (int round = 0; round < 2000; ++round) {
        Json report = round % 10 == 0 ? anyValue(0, anyValue) : Json::object();
        if (report.is_object())
            for (const char* member : members)
                if (random() % 3 != 0)
                    report[member] = anyValue(0, anyValue);
        try {
            auto event = crashEvent(report, scrubber, {"Linux", "", "6.1", "x86_64"}, "seed");
            EXPECT_EQ(event["event_id"].get<std::string>().size(), 32u);
            EXPECT_EQ(event["exception"]["values"].size(), 1u);
            ++events;
        } catch (const std::exception&) {
        }
    }
    EXPECT_GT(events, 0);
}
