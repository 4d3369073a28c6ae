// The controller as the core drives it: the card built once and reused, the steps' callbacks, the
// sign-in form's reset, the code mirrored with the panel at the notch, and what it answers the
// core.

#include "fake_onboarding_card.hpp"
#include "test_coordinator.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"

#include <asio/co_spawn.hpp>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace pennial {
namespace {

using testing::FakeOnboardingCards;

class OnboardingWindowControllerTest : public ::testing::Test {
protected:
    void show(OnboardingStage stage, OnboardingCallbacks callbacks = {},
              bool isReturningUser = false) {
        controller.show(*coordinator, stage, isReturningUser, std::move(callbacks));
    }
    // Callbacks that note their own name when called.
    OnboardingCallbacks recording(const std::string& tag) {
        OnboardingCallbacks callbacks;
        auto note = [this, tag](const char* name) {
            return [this, tag, name] { calls.push_back(tag + " " + name); };
        };
        callbacks.onRequestPermissions = note("requestPermissions");
        callbacks.onCompleteWelcome = note("completeWelcome");
        callbacks.onCompletePermissions = note("completePermissions");
        callbacks.onCompleteVideoIntro = note("completeVideoIntro");
        callbacks.onSaveProfile = [this, tag](std::string names, std::string context) {
            calls.push_back(tag + " saveProfile " + names + "/" + context);
        };
        callbacks.onSkipProfile = note("skipProfile");
        callbacks.onCompletePlayground = note("completePlayground");
        callbacks.onSignInComplete = note("signInComplete");
        return callbacks;
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
    FakeOnboardingCards cards;
    QtOnboardingWindowController controller{cards.factory()};
    std::vector<std::string> calls;
};

TEST_F(OnboardingWindowControllerTest, BuildsTheCardOnceAndResizesAndRaisesItOnEveryLaterShow) {
    show(OnboardingStage::welcome);
    ASSERT_EQ(cards.made.size(), 1u);
    const auto card = cards.last();
    EXPECT_EQ(card->spec.id, "onboarding");
    EXPECT_EQ(card->spec.size, QSize(520, 440));
    EXPECT_FALSE(card->spec.resizable);
    EXPECT_FALSE(card->spec.canClose);
    EXPECT_TRUE(card->spec.hideButtons);
    EXPECT_EQ(card->spec.opaqueBackground, QColor(Qt::black));
    EXPECT_EQ(card->showCount, 1);
    EXPECT_TRUE(card->resizes.empty()) << "a new card already has its size";

    auto* firstView = card->content;
    show(OnboardingStage::permissions);
    show(OnboardingStage::videoIntro);
    EXPECT_EQ(cards.made.size(), 1u);
    EXPECT_EQ(card->buildCount, 1);
    EXPECT_EQ(card->showCount, 3);
    EXPECT_EQ(card->content, firstView) << "the open window keeps its view";
    const std::vector<std::pair<QSize, bool>> expected{{QSize(520, 440), true},
                                                       {QSize(520, 440), true}};
    EXPECT_EQ(card->resizes, expected);
}

TEST_F(OnboardingWindowControllerTest, HideDropsTheCardAndTheNextShowBuildsANewView) {
    controller.hide(); // nothing to hide
    EXPECT_TRUE(cards.made.empty());

    show(OnboardingStage::signIn);
    controller.model().setSignInEmail("ada@example.test");
    controller.hide();
    ASSERT_EQ(cards.made.size(), 1u);
    EXPECT_EQ(cards.made[0]->hideCount, 1);
    EXPECT_TRUE(cards.made[0]->destroyed);
    EXPECT_FALSE(controller.isWindowVisible());
    controller.hide();
    EXPECT_EQ(cards.made[0]->hideCount, 1);

    show(OnboardingStage::getToKnowYou);
    ASSERT_EQ(cards.made.size(), 2u);
    auto* view = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(controller.signInEmail(), "ada@example.test") << "the model outlives the window";
}

TEST_F(OnboardingWindowControllerTest, EachShowReplacesTheStepAndItsCallbacks) {
    for (auto stage :
         {OnboardingStage::welcome, OnboardingStage::permissions, OnboardingStage::videoIntro,
          OnboardingStage::signIn, OnboardingStage::getToKnowYou, OnboardingStage::done}) {
        const std::string tag = onboardingStageName(stage);
        calls.clear();
        show(stage, recording(tag), stage == OnboardingStage::signIn);
        EXPECT_EQ(controller.model().stage(), stage);
        EXPECT_EQ(controller.model().isReturningUser, stage == OnboardingStage::signIn);
        pressEveryCallback();
        const std::vector<std::string> expected{
            tag + " requestPermissions",    tag + " completeWelcome",
            tag + " completePermissions",   tag + " completeVideoIntro",
            tag + " saveProfile Ada/brief", tag + " skipProfile",
            tag + " completePlayground",    tag + " signInComplete"};
        EXPECT_EQ(calls, expected) << tag;
    }

    // A step given no callbacks leaves none of the previous step's behind.
    calls.clear();
    show(OnboardingStage::welcome);
    pressEveryCallback();
    EXPECT_TRUE(calls.empty());
}

TEST_F(OnboardingWindowControllerTest, SignInCallbacksDefaultToSuccessAndPassFailuresOn) {
    asio::io_context io;
    auto result = [&](Awaitable<SignInResult> call) {
        std::optional<SignInResult> answer;
        asio::co_spawn(io, std::move(call),
                       [&](std::exception_ptr, SignInResult value) { answer = value; });
        io.restart();
        io.run();
        return answer;
    };

    show(OnboardingStage::signIn);
    auto answer = result(controller.model().requestOTP("ada@example.test"));
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->succeeded());
    answer = result(controller.model().verifyOTP("ada@example.test", "123456"));
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->succeeded());

    OnboardingCallbacks callbacks;
    std::vector<std::string> seen;
    callbacks.onRequestOTP = [&](std::string email) -> Awaitable<SignInResult> {
        seen.push_back(email);
        co_return SignInResult::failure(std::make_exception_ptr(std::runtime_error("refused")));
    };
    callbacks.onVerifyOTP = [&](std::string email, std::string code) -> Awaitable<SignInResult> {
        seen.push_back(email + " " + code);
        co_return SignInResult::success();
    };
    show(OnboardingStage::signIn, std::move(callbacks));
    answer = result(controller.model().requestOTP("ada@example.test"));
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->succeeded());
    answer = result(controller.model().verifyOTP("ada@example.test", "654321"));
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->succeeded());
    EXPECT_EQ(seen, (std::vector<std::string>{"ada@example.test", "ada@example.test 654321"}));
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
    EXPECT_TRUE(controller.isAtEnterCodeStep());

    show(OnboardingStage::signIn); // again, on the same step
    EXPECT_EQ(model.signInStep(), SignInStep::enterEmail);
    EXPECT_EQ(model.signInCode(), "");
    EXPECT_EQ(model.signInError(), std::nullopt);
    EXPECT_FALSE(model.isSignInLoading());
    EXPECT_EQ(model.signInEmail(), "ada@example.test");
    EXPECT_EQ(model.resendCooldown(), 42);
    EXPECT_FALSE(controller.isAtEnterCodeStep());

    // Other steps leave the form alone.
    model.setSignInStep(SignInStep::enterCode);
    model.setSignInCode("99");
    show(OnboardingStage::getToKnowYou);
    EXPECT_EQ(model.signInStep(), SignInStep::enterCode);
    EXPECT_EQ(model.signInCode(), "99");
    EXPECT_FALSE(controller.isAtEnterCodeStep()) << "the code step belongs to signIn only";
}

TEST_F(OnboardingWindowControllerTest, MirrorsTheCodeOnceAndIgnoresAnUnchangedOne) {
    std::vector<std::string> mirrored;
    controller.setOnCodeChanged([&](const std::string& code) { mirrored.push_back(code); });
    show(OnboardingStage::signIn);

    controller.setSignInCode("12");
    controller.setSignInCode("12");
    controller.model().setSignInCode("123"); // typed in the window
    EXPECT_EQ(mirrored, (std::vector<std::string>{"12", "123"}));
    EXPECT_EQ(controller.model().signInCode(), "123");

    // The panel writing back what it was just sent ends the exchange.
    controller.setOnCodeChanged([&](const std::string& code) {
        mirrored.push_back(code);
        controller.setSignInCode(code);
    });
    controller.model().setSignInCode("1234");
    EXPECT_EQ(mirrored.back(), "1234");
    EXPECT_EQ(mirrored.size(), 3u);

    controller.setOnCodeChanged({});
    controller.setSignInCode("12345"); // shown, told to no one
    EXPECT_EQ(controller.model().signInCode(), "12345");
    EXPECT_EQ(mirrored.size(), 3u);
}

TEST_F(OnboardingWindowControllerTest, HandsTheFocusCallbacksToTheCardWhenItHasOne) {
    int resigned = 0;
    int became = 0;
    controller.setOnWindowDidResignKey([&] { ++resigned; });
    show(OnboardingStage::signIn);
    auto card = cards.last();
    ASSERT_TRUE(card->onResignKey);
    EXPECT_FALSE(card->onBecomeKey);
    card->onResignKey();

    controller.setOnWindowDidBecomeKey([&] { ++became; });
    ASSERT_TRUE(card->onBecomeKey) << "a card that exists takes it at once";
    card->onBecomeKey();
    EXPECT_EQ(resigned, 1);
    EXPECT_EQ(became, 1);

    controller.setOnWindowDidResignKey({});
    EXPECT_FALSE(card->onResignKey);

    controller.hide();
    show(OnboardingStage::signIn);
    EXPECT_FALSE(cards.last()->onResignKey);
    EXPECT_TRUE(cards.last()->onBecomeKey) << "a new card takes what is set";
}

TEST_F(OnboardingWindowControllerTest, AnswersTheCoreAboutTheCodeStepAndTheWindow) {
    EXPECT_FALSE(controller.isWindowVisible());
    EXPECT_FALSE(controller.isAtEnterCodeStep());

    show(OnboardingStage::signIn);
    EXPECT_TRUE(controller.isWindowVisible());
    controller.model().setSignInEmail("ada@example.test");
    controller.model().setSignInStep(SignInStep::enterCode);
    EXPECT_TRUE(controller.isAtEnterCodeStep());
    EXPECT_EQ(controller.signInEmail(), "ada@example.test");

    cards.last()->visible = false; // covered by another application's window
    EXPECT_FALSE(controller.isWindowVisible());
    cards.last()->visible = true;
    controller.hide();
    EXPECT_FALSE(controller.isWindowVisible());
}

} // namespace
} // namespace pennial
