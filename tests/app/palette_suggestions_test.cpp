#include "app/palette_suggestions.hpp"

#include <gtest/gtest.h>

using namespace pennial;

namespace {

std::vector<TemplateSuggestion> rows(std::initializer_list<bool> disabled) {
    std::vector<TemplateSuggestion> result;
    for (bool isDisabled : disabled)
        result.push_back({"c" + std::to_string(result.size()), "", isDisabled});
    return result;
}

} // namespace

TEST(PaletteSuggestions, NamesReadAsCapitalisedWords) {
    EXPECT_EQ(prettifiedTemplateName("polish"), "Polish");
    EXPECT_EQ(prettifiedTemplateName("fix_grammar"), "Fix Grammar");
    EXPECT_EQ(prettifiedTemplateName("fix-grammar"), "Fix Grammar");
    EXPECT_EQ(prettifiedTemplateName("__a--b"), "A B");
    EXPECT_EQ(prettifiedTemplateName("_-_"), "");
    EXPECT_EQ(prettifiedTemplateName(""), "");
    EXPECT_EQ(prettifiedTemplateName("TL_DR"), "Tl Dr") << "the rest of each word lower case";
    EXPECT_EQ(prettifiedTemplateName("élan_ösd"), "Élan Ösd");
}

TEST(PaletteSuggestions, TheSelectionStaysInRangeAndOffDisabledRows) {
    EXPECT_EQ(clampedSelectionIndex(3, {}), 0);
    EXPECT_EQ(clampedSelectionIndex(5, rows({false, false, false})), 2);
    EXPECT_EQ(clampedSelectionIndex(-2, rows({false, false})), 0);
    EXPECT_EQ(clampedSelectionIndex(5, rows({false, true, true})), 0);
    EXPECT_EQ(clampedSelectionIndex(2, rows({true, false, true})), 1);
    EXPECT_EQ(clampedSelectionIndex(5, rows({true, true, true})), 2) << "nowhere better to go";
}

TEST(PaletteSuggestions, MovesWrapAroundOverEnabledRows) {
    const auto gapped = rows({false, true, false});
    EXPECT_EQ(nextEnabledIndex(gapped, 0, 1), 2);
    EXPECT_EQ(nextEnabledIndex(gapped, 0, -1), 2);
    EXPECT_EQ(nextEnabledIndex(gapped, 2, 1), 0);
    EXPECT_EQ(nextEnabledIndex(rows({true, false, true}), 1, 1), 1) << "the only enabled row";
    EXPECT_EQ(nextEnabledIndex(rows({true, true}), 1, -1), 1);
    EXPECT_EQ(nextEnabledIndex({}, 0, 1), 0);
}
