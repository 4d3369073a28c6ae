// A page's texts as the context sends them: the places of embedded objects (links, images) and
// the padding after characters outside the Basic Multilingual Plane are no text of the page's.

#include "platform/linux/atspi/atspi_text_collection.hpp"
#include "support/test_seed.hpp"

#include <gtest/gtest.h>
#include <random>

using namespace pennial;

TEST(AtspiTextCollection, EveryObjectPlaceAndPaddingOfAPageIsLeftOut) {
    const unsigned seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    const std::vector<std::string> words = {"Dear team,", " see the ", "report",   " and ",
                                            "chart",      " below. ",  "Thanks 🎉", "\n",
                                            "— Ann",      "𝐁old",      " ok"};
    const std::vector<std::string> marks = {"\xEF\xBF\xBC", "\xEF\xBB\xBF"};
    for (int page = 0; page < 200; ++page) {
        std::string text, expected;
        for (int i = std::uniform_int_distribution<int>(1, 12)(random); i > 0; --i) {
            // Runs of marks, alike or mixed, before and after the words.
            for (int m = std::uniform_int_distribution<int>(0, 3)(random); m > 0; --m)
                text += marks[random() % marks.size()];
            const auto& word = words[random() % words.size()];
            text += word;
            expected += word;
        }
        text += random() % 2 ? marks[random() % marks.size()] : "";
        ASSERT_EQ(atspi_collection::withoutPlaceholders(text), expected) << text;
    }
}
