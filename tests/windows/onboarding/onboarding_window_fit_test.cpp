// The onboarding window on small screens at scales 1, 1.5 and 2: inside the free area, with the
// button of every stage in view, also under a line of advice; screenshots of each stage on 1280 x
// 800 at scales 1 and 2 (onboarding_screenshots/fit_*).

#include "app/sign_in_result.hpp"
#include "onboarding_ui_support.hpp"
#include "platform/secret_store.hpp"
#include "test_coordinator.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/small_screen_windows.hpp"
#include "ui/cards/window_identifier.hpp"
#include "ui/design/pn_error_text.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/glass_onboarding_card.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/permission_row.hpp"
#include "windows/onboarding/permissions_screen.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"
#include "windows/onboarding/sign_in_email_step.hpp"
#include "windows/onboarding/sign_in_screen.hpp"

#include <QApplication>
#include <QPushButton>
#include <gtest/gtest.h>

namespace pennial {
namespace {

GlassCardWindow* onboardingWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* card = dynamic_cast<GlassCardWindow*>(widget);
            card && card->isVisible() && windowIdentifier(*card) == "onboarding")
            return card;
    return nullptr;
}

// The bar of a screen (a plain widget to Qt's casts, so looked for by type).
const BrandedBottomBar* bottomBar(const QWidget& screen) {
    for (const QWidget* child : screen.findChildren<QWidget*>())
        if (const auto* bar = dynamic_cast<const BrandedBottomBar*>(child))
            return bar;
    return nullptr;
}

TEST(OnboardingWindowFit, OnThisScreenEveryStageKeepsItsButtonInView) {
    const QString screen = testing::screenName();
    const bool shotsWanted = screen.startsWith(QStringLiteral("1280x800_scale")) &&
                             !screen.endsWith(QStringLiteral("1.5"));
    for (const bool panelAtTop : {true, false}) {
        SCOPED_TRACE(panelAtTop ? "panel at the top" : "panel at the bottom");
        testing::SmallScreenCards cards(panelAtTop);
        testing::TestCoordinator coordinator;
        QtOnboardingWindowController controller(glassOnboardingCards(cards.services()));
        // Keyboard access to grant, as on Wayland: its row can add a line of advice.
        controller.model().hasKeyboardAccess = [] { return false; };
        for (const OnboardingStage stage :
             {OnboardingStage::welcome, OnboardingStage::permissions, OnboardingStage::videoIntro,
              OnboardingStage::signIn, OnboardingStage::getToKnowYou, OnboardingStage::done}) {
            SCOPED_TRACE(onboardingStageName(stage));
            controller.show(*coordinator, stage, false, {});
            testing::runQueued();
            GlassCardWindow* window = onboardingWindow();
            ASSERT_NE(window, nullptr);
            auto* view = dynamic_cast<OnboardingWindowView*>(window->content());
            ASSERT_NE(view, nullptr);
            const BrandedBottomBar* bar = bottomBar(*view->currentScreen());
            ASSERT_NE(bar, nullptr);
            EXPECT_TRUE(testing::fitsWithButtonInView(*window, *bar->primaryButton(),
                                                      cards.screens->freeArea()));
            if (shotsWanted && panelAtTop)
                testing::saveScreenshot(
                    window, QStringLiteral("fit_%1_%2").arg(onboardingStageName(stage), screen));
            // The stages that can add a line of advice show it whole, their button still in view.
            const QWidget* line = nullptr;
            if (auto* permissions = dynamic_cast<PermissionsScreen*>(view->currentScreen())) {
                permissions->keyboardRow()->grantButton()->click();
                line = permissions->advice();
            } else if (auto* signIn = dynamic_cast<SignInScreen*>(view->currentScreen())) {
                controller.model().setSignInError(
                    keyringSessionReadMessage(SecretStatus::interactionNotAllowed));
                line = signIn->emailStep()->errorText();
            } else {
                continue;
            }
            testing::runQueued();
            EXPECT_TRUE(testing::fitsWithButtonInView(*window, *bar->primaryButton(),
                                                      cards.screens->freeArea()));
            EXPECT_TRUE(line->isVisible());
            EXPECT_EQ(testing::shownPart(*line),
                      QRect(line->mapTo(window, QPoint(0, 0)), line->size()));
            if (shotsWanted && panelAtTop)
                testing::saveScreenshot(
                    window,
                    QStringLiteral("fit_%1_advice_%2").arg(onboardingStageName(stage), screen));
        }
        controller.hide();
        testing::runQueued();
    }
}

TEST(OnboardingWindowFit, AtEachScaleOnSmallScreens) {
    for (const auto& screen : testing::smallScaledScreens())
        EXPECT_TRUE(testing::passesOn(
            screen,
            QStringLiteral("OnboardingWindowFit.OnThisScreenEveryStageKeepsItsButtonInView")));
}

} // namespace
} // namespace pennial
