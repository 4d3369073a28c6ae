// The bar at the foot of every onboarding screen: the controls it shows for its arguments, where,
// and which presses it lets through.

#include "onboarding_ui_support.hpp"
#include "ui/design/pn_step_indicator.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"

#include <QAbstractButton>
#include <QPushButton>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::click;

struct Presses {
    int skip = 0;
    int action = 0;
};

std::unique_ptr<BrandedBottomBar> makeBar(Presses& presses, int step, bool disabled,
                                          std::optional<QString> skipLabel, bool withSkipAction) {
    std::function<void()> skipAction;
    if (withSkipAction)
        skipAction = [&presses] { ++presses.skip; };
    auto bar = std::make_unique<BrandedBottomBar>(step, QStringLiteral("Next"), disabled,
                                                  std::move(skipLabel), std::move(skipAction),
                                                  [&presses] { ++presses.action; });
    bar->resize(520, 60);
    bar->show();
    return bar;
}

TEST(BrandedBottomBarTest, ShowsTheSkipLinkOnlyWithBothItsLabelAndItsAction) {
    Presses presses;
    EXPECT_EQ(makeBar(presses, 5, false, QStringLiteral("I'll do this later"), false)->skipLink(),
              nullptr);
    EXPECT_EQ(makeBar(presses, 5, false, std::nullopt, true)->skipLink(), nullptr);

    auto bar = makeBar(presses, 5, false, QStringLiteral("I'll do this later"), true);
    EXPECT_EQ(bar->stepIndicator()->totalSteps(), 7);
    EXPECT_EQ(bar->stepIndicator()->currentStep(), 5);
    ASSERT_NE(bar->skipLink(), nullptr);
    EXPECT_EQ(bar->skipLink()->text(), QStringLiteral("I'll do this later"));
    // Both at the trailing edge, the link before the button.
    EXPECT_LT(bar->skipLink()->geometry().right(), bar->primaryButton()->geometry().left());
    EXPECT_EQ(bar->primaryButton()->geometry().right(), bar->width() - 1 - 24);
    click(bar->skipLink());
    click(bar->primaryButton());
    EXPECT_EQ(presses.skip, 1);
    EXPECT_EQ(presses.action, 1);
}

TEST(BrandedBottomBarTest, ADisabledButtonIgnoresPressesWhileTheSkipLinkStaysActive) {
    Presses presses;
    auto bar = makeBar(presses, 5, true, QStringLiteral("Skip"), true);
    EXPECT_FALSE(bar->primaryButton()->isEnabled());
    click(bar->primaryButton());
    click(bar->skipLink());
    EXPECT_EQ(presses.action, 0);
    EXPECT_EQ(presses.skip, 1);

    auto lone = makeBar(presses, 1, false, std::nullopt, false);
    EXPECT_EQ(lone->primaryButton()->geometry().right(), lone->width() - 1 - 24)
        << "alone at the trailing edge";
    click(lone->primaryButton());
    EXPECT_EQ(presses.action, 1);
}

} // namespace
} // namespace pennial
