// The window's root view: the screen routed for each stage, the brand header's place and look on
// each, the change between stages (also animated), and the sign-in code handed to onCodeChanged.

#include "onboarding_ui_support.hpp"
#include "test_coordinator.hpp"
#include "ui/design/pn_animations.hpp"
#include "windows/onboarding/brand_header.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_playground_model.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/welcome_screen.hpp"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using HeaderLook = OnboardingWindowView::HeaderLook;

class OnboardingWindowViewTest : public ::testing::Test {
protected:
    OnboardingWindowViewTest() {
        model.setStage(OnboardingStage::welcome);
        view.resize(520, 440);
        view.show();
    }

    HeaderLook headerNow() const {
        return {QPointF(view.header()->pos()), view.header()->iconSize(),
                view.header()->nameOpacity()};
    }

    qsizetype welcomeScreens() const {
        return view.findChildren<QWidget*>(QStringLiteral("WelcomeScreen")).size();
    }

    testing::TestCoordinator coordinator;
    OnboardingModel model;
    OnboardingPlaygroundModel playgroundModel;
    OnboardingWindowView view{*coordinator, model, playgroundModel};
};

TEST_F(OnboardingWindowViewTest, RoutesEachStageToItsScreenBuiltAfresh) {
    ASSERT_NE(dynamic_cast<WelcomeScreen*>(view.currentScreen()), nullptr);
    QPointer<QWidget> welcome = view.currentScreen();
    EXPECT_EQ(welcome->geometry(), view.rect());

    for (auto stage :
         {OnboardingStage::permissions, OnboardingStage::videoIntro, OnboardingStage::signIn,
          OnboardingStage::getToKnowYou, OnboardingStage::done}) {
        model.setStage(stage);
        EXPECT_EQ(dynamic_cast<WelcomeScreen*>(view.currentScreen()), nullptr);
        EXPECT_EQ(view.currentScreen()->geometry(), view.rect());
    }
    testing::runDeferredDeletes();
    EXPECT_TRUE(welcome.isNull()) << "the screen that left is gone";

    model.setStage(OnboardingStage::welcome);
    ASSERT_NE(dynamic_cast<WelcomeScreen*>(view.currentScreen()), nullptr);
    EXPECT_EQ(welcomeScreens(), 1);
}

TEST_F(OnboardingWindowViewTest, MovesTheHeaderBetweenTheTopCentreAndTheCorner) {
    const HeaderLook welcome{QPointF(520 / 2 - 50, 24), 18, 1};
    const HeaderLook corner{QPointF(24, 16), 16, 0};
    EXPECT_EQ(headerNow(), welcome);

    model.setStage(OnboardingStage::permissions);
    EXPECT_EQ(headerNow(), corner);
    model.setStage(OnboardingStage::welcome); // the core may replay it
    EXPECT_EQ(headerNow(), welcome);

    view.resize(780, 520);
    EXPECT_EQ(headerNow().offset, QPointF(780 / 2 - 50, 24)) << "follows the content width";
    EXPECT_GE(view.header()->geometry().top(), 0);
    EXPECT_LE(view.header()->geometry().bottom(), 60) << "within the welcome screen's top gap";
}

TEST_F(OnboardingWindowViewTest, AnimatedChangeCrossFadesTheScreensAndGlidesTheHeader) {
    PNAnimations::setEnabled(true);
    model.setStage(OnboardingStage::permissions);
    QPointer<QWidget> leaving = view.findChild<QWidget*>(QStringLiteral("WelcomeScreen"));
    ASSERT_FALSE(leaving.isNull()) << "the welcome screen fades out first";
    auto* fadingIn = qobject_cast<QGraphicsOpacityEffect*>(view.currentScreen()->graphicsEffect());
    ASSERT_NE(fadingIn, nullptr);
    EXPECT_LT(fadingIn->opacity(), 1.0);

    // Changed again before the end: the leaving screen goes at once, the header turns back from
    // where it is.
    ASSERT_TRUE(testing::processEventsUntil([&] { return headerNow().offset.y() < 24; }));
    const HeaderLook midway = headerNow();
    model.setStage(OnboardingStage::welcome);
    testing::runDeferredDeletes();
    EXPECT_TRUE(leaving.isNull());
    EXPECT_EQ(headerNow(), midway);

    ASSERT_TRUE(testing::processEventsUntil([&] {
        return view.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size() == 2;
    })) << "header and the one screen";
    PNAnimations::setEnabled(false);
    EXPECT_EQ(headerNow(), (HeaderLook{QPointF(520 / 2 - 50, 24), 18, 1}));
    EXPECT_NE(dynamic_cast<WelcomeScreen*>(view.currentScreen()), nullptr);
    EXPECT_EQ(view.currentScreen()->graphicsEffect(), nullptr);
}

TEST_F(OnboardingWindowViewTest, HandsEachNewCodeToOnCodeChangedOnce) {
    model.setStage(OnboardingStage::signIn);
    model.setSignInCode("1"); // nobody listening yet: only shown
    std::vector<std::string> codes;
    model.onCodeChanged = [&](const std::string& code) { codes.push_back(code); };
    model.setSignInCode("12");
    model.setSignInCode("12");
    model.setSignInCode("");
    EXPECT_EQ(codes, (std::vector<std::string>{"12", ""}));
}

} // namespace
} // namespace pennial
