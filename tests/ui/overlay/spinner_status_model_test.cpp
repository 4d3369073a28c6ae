#include "ui/overlay/spinner_status_model.hpp"

#include <gtest/gtest.h>

namespace pennial {
namespace {

// Views redraw from what they read when told: the value must already be in place, and a
// rewrite of the same value must still be told (the reveal step relies on it).
TEST(SpinnerStatusModel, AnnouncesEveryWriteAfterTheValueIsInPlaceEvenAnUnchangedOne) {
    SpinnerStatusModel model;
    std::vector<std::string> seen;
    auto connection = model.changed().connect([&] { seen.push_back(model.query()); });

    model.setQuery("tr");
    model.setQuery("tr");
    model.setRevealed(false);

    EXPECT_EQ(seen, (std::vector<std::string>{"tr", "tr", "tr"}));
}

} // namespace
} // namespace pennial
