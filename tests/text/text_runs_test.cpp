#include "base/unicode.hpp"
#include "support/test_seed.hpp"
#include "text/text_runs.hpp"

#include <gtest/gtest.h>
#include <random>

using namespace pennial;

namespace {

std::string applied(const std::string& before, const std::vector<TextRun>& runs) {
    auto units = unicode::toUtf16(before);
    for (auto run = runs.rbegin(); run != runs.rend(); ++run)
        units.replace(static_cast<std::size_t>(run->location),
                      static_cast<std::size_t>(run->length), unicode::toUtf16(run->text));
    return unicode::toUtf8(units);
}

} // namespace

TEST(TextRuns, ARewriteIsWrittenWhereItChangesTheWords) {
    EXPECT_EQ(differingRuns("Dear team, the report is here today ;;fix",
                            "Dear crew, the report is here today", 4),
              (std::vector<TextRun>{{5, 4, "crew"}, {35, 6, ""}}));
    // Apart only by a space: one run.
    EXPECT_EQ(differingRuns("helo wrld ;;fix", "hello world", 4),
              (std::vector<TextRun>{{0, 15, "hello world"}}));
    // Beyond the most runs asked for, the nearest merge.
    EXPECT_EQ(differingRuns("a one b two c three d", "a 1 b 2 c 3 d", 2),
              (std::vector<TextRun>{{2, 9, "1 b 2"}, {14, 5, "3"}}));
    EXPECT_TRUE(differingRuns("same", "same", 4).empty());
}

// Random texts and random edits of them: the runs, applied, give the edited text; they are in
// order, apart, no more than asked for, and each changes something.
TEST(TextRuns, RunsAppliedGiveTheRewrite) {
    const unsigned seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    const std::vector<std::string> pool = {"team", "crew", " ", ", ", "\n", "😀", "é", "a", ";;fix"};
    auto text = [&](int words) {
        std::string made;
        for (int k = 0; k < words; ++k)
            made += pool[random() % pool.size()];
        return made;
    };
    for (int round = 0; round < 3000; ++round) {
        const auto before = text(static_cast<int>(random() % 12));
        auto after = before;
        for (int edit = static_cast<int>(random() % 4); edit > 0; --edit) {
            auto units = unicode::toUtf16(after);
            const auto at = units.empty() ? 0 : random() % (units.size() + 1);
            const auto cut = std::min<std::size_t>(random() % 4, units.size() - at);
            units.replace(at, cut, unicode::toUtf16(text(static_cast<int>(random() % 3))));
            after = unicode::sanitizeUtf8(unicode::toUtf8(units));
        }
        const std::size_t maxRuns = 1 + random() % 4;
        const auto runs = differingRuns(before, after, maxRuns);
        SCOPED_TRACE(before + " -> " + after);
        ASSERT_EQ(applied(before, runs), after);
        ASSERT_LE(runs.size(), std::max<std::size_t>(maxRuns, 1));
        for (std::size_t k = 0; k < runs.size(); ++k) {
            ASSERT_TRUE(runs[k].length > 0 || !runs[k].text.empty());
            if (k > 0)
                ASSERT_GT(runs[k].location, runs[k - 1].location + runs[k - 1].length);
        }
    }
}
