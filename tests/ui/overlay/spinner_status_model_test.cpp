#include "ui/overlay/spinner_status_model.hpp"

#include <gtest/gtest.h>

namespace pennial {
namespace {

TEST(SpinnerStatusModel, StartsAsAnEmptyProcessingCardOutOfSight) {
    SpinnerStatusModel model;
    EXPECT_EQ(model.mode(), SpinnerOverlayMode::processing);
    EXPECT_EQ(model.verb(), "Applying");
    EXPECT_EQ(model.query(), "");
    EXPECT_TRUE(model.suggestions().empty());
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_FALSE(model.isNotchDocked() || model.isBottomDocked() || model.isRevealed() ||
                 model.isProcessing());
    EXPECT_EQ(model.notchHeight(), 0);
    EXPECT_EQ(model.panelHeight(), 0);
}

TEST(SpinnerStatusModel, AnnouncesEveryWriteAfterTheValueIsInPlaceEvenAnUnchangedOne) {
    SpinnerStatusModel model;
    std::vector<std::string> seen;
    auto connection = model.changed().connect([&] { seen.push_back(model.query()); });

    model.setQuery("tr");
    model.setQuery("tr");
    model.setRevealed(false);

    EXPECT_EQ(seen, (std::vector<std::string>{"tr", "tr", "tr"}));
}

TEST(TemplateSuggestion, IsKnownByItsNameButEqualOnlyInAllThreeFields) {
    const TemplateSuggestion fix{"fix", "Fix", false};
    const TemplateSuggestion renamed{"fix", "Fix grammar", false};
    const TemplateSuggestion disabled{"fix", "Fix", true};

    EXPECT_EQ(fix.id(), renamed.id());
    EXPECT_NE(fix, renamed);
    EXPECT_NE(fix, disabled);
    EXPECT_EQ(fix, (TemplateSuggestion{"fix", "Fix", false}));
}

} // namespace
} // namespace pennial
