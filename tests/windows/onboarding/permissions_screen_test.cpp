// The permissions screen in its window: the accessibility row and "Continue" following the trust
// the coordinator publishes, in both directions, "Grant Access" reaching the core's request, and
// screenshots for review (onboarding_screenshots/).

#include "fake_onboarding_card.hpp"
#include "onboarding_ui_support.hpp"
#include "test_coordinator.hpp"
#include "ui/design/pn_badge.hpp"
#include "ui/design/pn_step_indicator.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/permission_row.hpp"
#include "windows/onboarding/permissions_screen.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"

#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::click;

class PermissionsScreenTest : public ::testing::Test {
protected:
    PermissionsScreenTest() { coordinator.desktop().setTrusted(false); }

    PermissionsScreen* showPermissions(OnboardingCallbacks callbacks = {}) {
        controller.show(*coordinator, OnboardingStage::permissions, false, std::move(callbacks));
        view = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
        return view ? dynamic_cast<PermissionsScreen*>(view->currentScreen()) : nullptr;
    }

    // What the core installs for the step, counting the calls.
    OnboardingCallbacks countingCallbacks() {
        OnboardingCallbacks callbacks;
        callbacks.onRequestPermissions = [this] {
            ++requests;
            coordinator->launch(&AppCoordinator::requestPermissions);
        };
        callbacks.onCompletePermissions = [this] { ++completions; };
        return callbacks;
    }

    testing::TestCoordinator coordinator;
    testing::FakeOnboardingCards cards;
    QtOnboardingWindowController controller{cards.factory()};
    OnboardingWindowView* view = nullptr;
    int requests = 0;
    int completions = 0;
};

TEST_F(PermissionsScreenTest, WithoutTrustOnlyTheRequiredRowAsksAndContinueWaits) {
    auto* screen = showPermissions(countingCallbacks());
    ASSERT_NE(screen, nullptr);
    ASSERT_FALSE(coordinator->hasPermissions());

    auto* accessibility = screen->accessibilityRow();
    EXPECT_FALSE(accessibility->isGranted());
    EXPECT_TRUE(accessibility->grantButton()->isVisibleTo(screen));
    EXPECT_FALSE(accessibility->checkmark()->isVisibleTo(screen));
    ASSERT_NE(accessibility->requiredBadge(), nullptr);
    EXPECT_EQ(accessibility->requiredBadge()->text(), QStringLiteral("Required"));
    EXPECT_EQ(accessibility->grantButton()->accessibleName(),
              QStringLiteral("Grant Accessibility access"));

    // Keyboard listening needs no grant here: the row only says so, and is not required.
    auto* keyboard = screen->keyboardRow();
    EXPECT_TRUE(keyboard->isGranted());
    EXPECT_FALSE(keyboard->grantButton()->isVisibleTo(screen));
    EXPECT_EQ(keyboard->requiredBadge(), nullptr);
    EXPECT_EQ(keyboard->checkmark()->accessibleName(), QStringLiteral("Keyboard access granted"));

    auto* bar = screen->bottomBar();
    EXPECT_EQ(bar->stepIndicator()->currentStep(), 1);
    EXPECT_EQ(bar->skipLink(), nullptr);
    EXPECT_FALSE(bar->primaryButton()->isEnabled());
    click(bar->primaryButton());
    EXPECT_EQ(completions, 0);
}

TEST_F(PermissionsScreenTest, GrantAccessReachesTheCoreAndTheScreenFollowsTheTrustItPublishes) {
    auto* screen = showPermissions(countingCallbacks());
    ASSERT_NE(screen, nullptr);
    coordinator.desktop().setGrantTrustOnPrompt(true);

    click(screen->accessibilityRow()->grantButton());
    EXPECT_EQ(requests, 1);
    ASSERT_TRUE(coordinator.runUntil([&] { return coordinator->hasPermissions(); }));
    EXPECT_EQ(coordinator.desktop().trustPromptCount(), 1);
    EXPECT_TRUE(screen->accessibilityRow()->isGranted());
    EXPECT_TRUE(screen->accessibilityRow()->checkmark()->isVisibleTo(screen));
    EXPECT_FALSE(screen->accessibilityRow()->grantButton()->isVisibleTo(screen));
    ASSERT_TRUE(screen->bottomBar()->primaryButton()->isEnabled());
    click(screen->bottomBar()->primaryButton());
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(controller.model().stage(), OnboardingStage::permissions)
        << "the core moves on, not the screen";

    // Trust withdrawn and found missing by the next request: the button and the wait come back.
    coordinator.desktop().setGrantTrustOnPrompt(false);
    coordinator.desktop().setTrusted(false);
    coordinator->launch(&AppCoordinator::requestPermissions);
    ASSERT_TRUE(coordinator.runUntil([&] { return !coordinator->hasPermissions(); }));
    EXPECT_FALSE(screen->accessibilityRow()->isGranted());
    EXPECT_FALSE(screen->bottomBar()->primaryButton()->isEnabled());

    // A grant found by the core's own watch, with no press at all.
    coordinator.desktop().setTrusted(true);
    ASSERT_TRUE(coordinator.runUntil([&] { return coordinator->hasPermissions(); }));
    EXPECT_TRUE(screen->accessibilityRow()->isGranted());
    EXPECT_TRUE(screen->bottomBar()->primaryButton()->isEnabled());
}

// A press that leaves something to do says so on the screen, in one line: the core's word on
// accessibility, and for keyboard access on Wayland (which nothing here can grant) what the
// system needs. Where the desktop will ask before lending its keyboard, the screen says so ahead.
TEST_F(PermissionsScreenTest, APressThatCannotGrantSaysWhatToDoInOneLine) {
    controller.model().hasKeyboardAccess = [] { return false; };
    controller.model().asksDesktopForKeyboard = true;
    auto* screen = showPermissions(countingCallbacks());
    ASSERT_NE(screen, nullptr);
    EXPECT_FALSE(screen->advice()->isVisibleTo(screen));
    ASSERT_NE(screen->desktopKeyboardNote(), nullptr);
    EXPECT_TRUE(screen->desktopKeyboardNote()->isVisibleTo(screen));

    click(screen->accessibilityRow()->grantButton());
    ASSERT_TRUE(coordinator.runUntil([&] { return screen->advice()->isVisibleTo(screen); }));
    EXPECT_EQ(screen->advice()->text().toStdString(), coordinator->permissionAdvice());
    testing::saveScreenshot(view, QStringLiteral("permissions_accessibility_advice"));

    auto* keyboard = screen->keyboardRow();
    EXPECT_FALSE(keyboard->isGranted());
    EXPECT_EQ(keyboard->requiredBadge(), nullptr) << "never holds the user back";
    click(keyboard->grantButton());
    EXPECT_TRUE(screen->advice()->text().contains(QStringLiteral("input group")));
    testing::saveScreenshot(view, QStringLiteral("permissions_advice"));

    // Turned on by the next press: the advice follows, and the step waits for Continue.
    coordinator.desktop().setGrantTrustOnPrompt(true);
    click(screen->accessibilityRow()->grantButton());
    ASSERT_TRUE(coordinator.runUntil([&] { return coordinator->hasPermissions(); }));
    EXPECT_TRUE(screen->advice()->text().contains(QStringLiteral("Restart")));
    EXPECT_TRUE(screen->bottomBar()->primaryButton()->isEnabled());
}

TEST_F(PermissionsScreenTest, AReplayWithTrustAlreadyThereWaitsForContinue) {
    coordinator.desktop().setTrusted(true);
    ASSERT_TRUE(coordinator.runUntil([&] { return coordinator->hasPermissions(); }));
    auto* screen = showPermissions(countingCallbacks());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->desktopKeyboardNote(), nullptr); // the desktop asks nothing
    EXPECT_TRUE(screen->accessibilityRow()->isGranted());
    EXPECT_TRUE(screen->bottomBar()->primaryButton()->isEnabled());
    click(screen->bottomBar()->primaryButton());
    EXPECT_EQ(completions, 1);
}

TEST_F(PermissionsScreenTest, AScreenThatHasLeftNoLongerFollowsTheCore) {
    QPointer<PermissionsScreen> screen = showPermissions(countingCallbacks());
    ASSERT_FALSE(screen.isNull());
    controller.show(*coordinator, OnboardingStage::videoIntro, false, {});
    testing::runDeferredDeletes();
    ASSERT_TRUE(screen.isNull());
    // A change published after the screen is gone must not reach it.
    coordinator.desktop().setTrusted(true);
    EXPECT_TRUE(coordinator.runUntil([&] { return coordinator->hasPermissions(); }));
}

TEST_F(PermissionsScreenTest, Screenshots) {
    ASSERT_NE(showPermissions(), nullptr);
    testing::saveScreenshot(view, QStringLiteral("permissions"));
    coordinator.desktop().setTrusted(true);
    ASSERT_TRUE(coordinator.runUntil([&] { return coordinator->hasPermissions(); }));
    testing::saveScreenshot(view, QStringLiteral("permissions_granted"));
}

} // namespace
} // namespace pennial
