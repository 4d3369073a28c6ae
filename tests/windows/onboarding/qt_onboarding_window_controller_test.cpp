// The controller as the core drives it: the card built once and reused, the steps' callbacks, the
// sign-in form's reset, the code mirrored with the panel at the notch, and what it answers the
// core.

#include "fake_onboarding_card.hpp"
#include "support/sim_run.hpp"
#include "test_coordinator.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pennial {
namespace {

class OnboardingWindowControllerTest : public ::testing::Test {
protected:
    void show(OnboardingStage stage, OnboardingCallbacks callbacks = {}) {
        controller.show(*coordinator, stage, stage == OnboardingStage::signIn,
                        std::move(callbacks));
    }
    // Every callback notes the tag it was made with.
    OnboardingCallbacks noting(const std::string& tag) {
        auto note = [this, tag] { calls.push_back(tag); };
        return {note, note, note, note, [note](std::string, std::string) { note(); },
                note, note, {},   {},   note};
    }
    void pressEveryCallback() {
        auto& model = controller.model();
        model.requestPermissions();
        model.completeWelcome();
        model.completePermissions();
        model.completeVideoIntro();
        model.saveProfile("Ada", "brief");
        model.skipProfile();
        model.completePlayground();
        model.signInComplete();
    }

    testing::TestCoordinator coordinator;
    testing::FakeOnboardingCards cards;
    QtOnboardingWindowController controller{cards.factory()};
    std::vector<std::string> calls;
};

TEST_F(OnboardingWindowControllerTest, BuildsTheCardOnceAndResizesAndRaisesItOnEveryLaterShow) {
    show(OnboardingStage::welcome);
    ASSERT_EQ(cards.made.size(), 1u);
    const auto card = cards.last();
    EXPECT_EQ(card->layout.id, "onboarding");
    EXPECT_EQ(card->layout.size, QSize(520, 440));
    EXPECT_FALSE(card->layout.resizable);
    EXPECT_FALSE(card->layout.canClose);
    EXPECT_TRUE(card->layout.hideButtons);
    EXPECT_EQ(card->layout.opaqueBackground, QColor(Qt::black));
    EXPECT_TRUE(card->resizes.empty()) << "a new card already has its size";

    auto* firstView = card->content;
    show(OnboardingStage::permissions);
    show(OnboardingStage::videoIntro);
    EXPECT_EQ(cards.made.size(), 1u);
    EXPECT_EQ(card->buildCount, 1);
    EXPECT_EQ(card->showCount, 3);
    EXPECT_EQ(card->content, firstView) << "the open window keeps its view";
    const std::vector<std::pair<QSize, bool>> resized(2, {QSize(520, 440), true});
    EXPECT_EQ(card->resizes, resized);
}

TEST_F(OnboardingWindowControllerTest, HideDropsTheCardAndTheNextShowBuildsANewView) {
    controller.hide(); // nothing to hide
    show(OnboardingStage::signIn);
    controller.model().setSignInEmail("ada@example.test");
    controller.hide();
    controller.hide();
    ASSERT_EQ(cards.made.size(), 1u);
    EXPECT_EQ(cards.made[0]->hideCount, 1);
    EXPECT_TRUE(cards.made[0]->destroyed);

    show(OnboardingStage::getToKnowYou);
    ASSERT_EQ(cards.made.size(), 2u);
    EXPECT_NE(dynamic_cast<OnboardingWindowView*>(cards.last()->content), nullptr);
    EXPECT_EQ(controller.signInEmail(), "ada@example.test") << "the model outlives the window";
}

TEST_F(OnboardingWindowControllerTest, EachShowReplacesTheStepAndItsCallbacks) {
    for (auto stage :
         {OnboardingStage::welcome, OnboardingStage::permissions, OnboardingStage::videoIntro,
          OnboardingStage::signIn, OnboardingStage::getToKnowYou, OnboardingStage::done}) {
        const std::string tag = onboardingStageName(stage);
        calls.clear();
        show(stage, noting(tag));
        EXPECT_EQ(controller.model().stage(), stage);
        EXPECT_EQ(controller.model().isReturningUser, stage == OnboardingStage::signIn);
        pressEveryCallback();
        EXPECT_EQ(calls, std::vector<std::string>(8, tag));
    }
    // A step given no callbacks keeps none of the previous step's; the sign-in ones answer success.
    calls.clear();
    show(OnboardingStage::welcome);
    pressEveryCallback();
    EXPECT_TRUE(calls.empty());
    asio::io_context io;
    EXPECT_TRUE(runToEnd(io, controller.model().requestOTP("ada@example.test")).succeeded());
    EXPECT_TRUE(runToEnd(io, controller.model().verifyOTP("ada@example.test", "1")).succeeded());
}

TEST_F(OnboardingWindowControllerTest, SignInShowStartsTheFormOverButKeepsAddressAndCountdown) {
    show(OnboardingStage::signIn);
    auto& model = controller.model();
    model.setSignInEmail("ada@example.test");
    model.setSignInStep(SignInStep::enterCode);
    model.setSignInCode("1234");
    model.setSignInError("Invalid code. Please try again.");
    model.setSignInLoading(true);
    model.setResendCooldown(42);

    show(OnboardingStage::signIn); // again, on the same step
    EXPECT_EQ(model.signInStep(), SignInStep::enterEmail);
    EXPECT_EQ(model.signInCode(), "");
    EXPECT_EQ(model.signInError(), std::nullopt);
    EXPECT_FALSE(model.isSignInLoading());
    EXPECT_EQ(model.signInEmail(), "ada@example.test");
    EXPECT_EQ(model.resendCooldown(), 42);

    model.setSignInStep(SignInStep::enterCode);
    model.setSignInCode("99");
    show(OnboardingStage::getToKnowYou);
    EXPECT_EQ(model.signInStep(), SignInStep::enterCode) << "other steps leave the form alone";
    EXPECT_EQ(model.signInCode(), "99");
}

TEST_F(OnboardingWindowControllerTest, MirrorsTheCodeOnceAndIgnoresAnUnchangedOne) {
    std::vector<std::string> mirrored;
    // The panel writes back what it was sent, as it does; the equal code ends the exchange.
    controller.setOnCodeChanged([&](const std::string& code) {
        mirrored.push_back(code);
        controller.setSignInCode(code);
    });
    show(OnboardingStage::signIn);
    controller.setSignInCode("12");
    controller.setSignInCode("12");
    controller.model().setSignInCode("123"); // typed in the window
    EXPECT_EQ(mirrored, (std::vector<std::string>{"12", "123"}));

    controller.setOnCodeChanged({});
    controller.setSignInCode("1234"); // shown, told to no one
    EXPECT_EQ(controller.model().signInCode(), "1234");
    EXPECT_EQ(mirrored.size(), 2u);
}

TEST_F(OnboardingWindowControllerTest, HandsTheFocusCallbacksToTheCardWhenItHasOne) {
    int resigned = 0;
    int became = 0;
    controller.setOnWindowDidResignKey([&] { ++resigned; });
    show(OnboardingStage::signIn);
    auto card = cards.last();
    ASSERT_TRUE(card->onResignKey) << "a new card takes what is set";
    EXPECT_FALSE(card->onBecomeKey);
    controller.setOnWindowDidBecomeKey([&] { ++became; });
    ASSERT_TRUE(card->onBecomeKey) << "a card that exists takes it at once";
    card->onResignKey();
    card->onBecomeKey();
    EXPECT_EQ(resigned, 1);
    EXPECT_EQ(became, 1);
    controller.setOnWindowDidResignKey({});
    EXPECT_FALSE(card->onResignKey);
}

TEST_F(OnboardingWindowControllerTest, AnswersTheCoreAboutTheCodeStepAndTheWindow) {
    EXPECT_FALSE(controller.isWindowVisible());
    show(OnboardingStage::signIn);
    EXPECT_TRUE(controller.isWindowVisible());
    EXPECT_FALSE(controller.isAtEnterCodeStep());
    controller.model().setSignInEmail("ada@example.test");
    controller.model().setSignInStep(SignInStep::enterCode);
    EXPECT_TRUE(controller.isAtEnterCodeStep());
    EXPECT_EQ(controller.signInEmail(), "ada@example.test");

    cards.last()->visible = false; // covered by another application's window
    EXPECT_FALSE(controller.isWindowVisible());
    show(OnboardingStage::getToKnowYou);
    EXPECT_FALSE(controller.isAtEnterCodeStep()) << "the code step belongs to signIn";
    controller.hide();
    EXPECT_FALSE(controller.isWindowVisible());
}

} // namespace
} // namespace pennial
