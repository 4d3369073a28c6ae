// The onboarding window on the real card window: built once under its identifier, closed only by
// the core, and brought back with a new view after hide().

#include "onboarding_ui_support.hpp"
#include "test_coordinator.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/own_window_registry.hpp"
#include "ui/cards/qt_window_focus.hpp"
#include "ui/cards/window_identifier.hpp"
#include "windows/onboarding/glass_onboarding_card.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"

#include <QApplication>
#include <QPointer>
#include <gtest/gtest.h>

namespace pennial {
namespace {

class NoOwnWindows final : public OwnWindowRegistry {
public:
    void addOwnWindow(std::string, QWidget*) override {}
    std::vector<OwnWindow> ownWindows() override { return {}; }
};

// The open onboarding windows.
std::vector<GlassCardWindow*> onboardingWindows() {
    std::vector<GlassCardWindow*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* card = dynamic_cast<GlassCardWindow*>(widget);
            card && windowIdentifier(*card) == std::optional<std::string>("onboarding"))
            found.push_back(card);
    return found;
}

void runQueued() {
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
}

class GlassOnboardingCardTest : public ::testing::Test {
protected:
    ~GlassOnboardingCardTest() override {
        controller.hide();
        runQueued();
    }

    std::shared_ptr<NoOwnWindows> ownWindows = std::make_shared<NoOwnWindows>();
    testing::TestCoordinator coordinator;
    QtOnboardingWindowController controller{glassOnboardingCards(
        {nullptr, std::make_shared<QtWindowFocus>(ownWindows), ownWindows, nullptr})};
};

TEST_F(GlassOnboardingCardTest, ShowsTheViewInOneCardThatRefusesTheUsersClose) {
    controller.show(*coordinator, OnboardingStage::welcome, false, {});
    auto windows = onboardingWindows();
    ASSERT_EQ(windows.size(), 1u);
    QPointer<GlassCardWindow> window = windows[0];
    EXPECT_NE(dynamic_cast<OnboardingWindowView*>(window->content()), nullptr);
    EXPECT_EQ(window->size(), QSize(520, 440));
    EXPECT_EQ(window->background(), QColor(Qt::black));
    EXPECT_FALSE(window->isResizable());
    EXPECT_TRUE(controller.isWindowVisible());
    testing::saveScreenshot(window, QStringLiteral("welcome_in_its_card"));

    EXPECT_FALSE(window->close());
    runQueued();
    EXPECT_TRUE(controller.isWindowVisible());

    controller.show(*coordinator, OnboardingStage::permissions, false, {});
    EXPECT_EQ(onboardingWindows().size(), 1u);

    controller.hide();
    EXPECT_FALSE(controller.isWindowVisible());
    runQueued();
    EXPECT_TRUE(window.isNull());

    controller.show(*coordinator, OnboardingStage::signIn, false, {});
    windows = onboardingWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_NE(dynamic_cast<OnboardingWindowView*>(windows[0]->content()), nullptr);
}

} // namespace
} // namespace pennial
