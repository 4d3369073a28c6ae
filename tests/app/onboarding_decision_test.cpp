#include "app/onboarding_decision.hpp"
#include "platform/sim/sim_user_defaults.hpp"

#include <gtest/gtest.h>

using namespace pennial;

namespace {

OnboardingInputs allDone() {
    return {true, true, true, true, true, true};
}

OnboardingStage stageOf(const OnboardingInputs& inputs) {
    auto decision = decideOnboarding(inputs);
    EXPECT_TRUE(decision.stage.has_value());
    return decision.stage.value_or(OnboardingStage::welcome);
}

} // namespace

TEST(OnboardingDecision, NewUserWalksThroughTheStepsInOrder) {
    OnboardingInputs inputs; // first launch: nothing done, no trust, signed out
    EXPECT_EQ(stageOf(inputs), OnboardingStage::welcome);
    inputs.hasSeenWelcomeOnboarding = true;
    EXPECT_EQ(stageOf(inputs), OnboardingStage::permissions);
    inputs.hasPermissions = true;
    EXPECT_EQ(stageOf(inputs), OnboardingStage::videoIntro);
    inputs.hasSeenVideoIntro = true;
    EXPECT_EQ(stageOf(inputs), OnboardingStage::signIn);
    inputs.isAuthenticated = true;
    EXPECT_EQ(stageOf(inputs), OnboardingStage::getToKnowYou);
    inputs.hasCompletedProfileOnboarding = true;
    EXPECT_EQ(stageOf(inputs), OnboardingStage::done);
    inputs.hasCompletedPlaygroundOnboarding = true;
    EXPECT_TRUE(decideOnboarding(inputs).isFinished());
}

TEST(OnboardingDecision, TrustGrantedBeforehandSkipsThePermissionStep) {
    OnboardingInputs inputs;
    inputs.hasPermissions = true;
    EXPECT_EQ(stageOf(inputs), OnboardingStage::welcome);
    inputs.hasSeenWelcomeOnboarding = true;
    EXPECT_EQ(stageOf(inputs), OnboardingStage::videoIntro);
}

TEST(OnboardingDecision, LostTrustBringsBackThePermissionStepEvenWhenSignedIn) {
    auto inputs = allDone();
    inputs.hasPermissions = false;
    EXPECT_EQ(stageOf(inputs), OnboardingStage::permissions);
    EXPECT_EQ(decideOnboarding(inputs).coupling, SignInCoupling::unchanged);
}

TEST(OnboardingDecision, SignedOutUserWithEveryFlagGoesStraightToSignInAsReturningUser) {
    auto inputs = allDone();
    inputs.isAuthenticated = false;
    auto decision = decideOnboarding(inputs);
    EXPECT_EQ(decision,
              (OnboardingDecision{OnboardingStage::signIn, true, SignInCoupling::couple}));

    inputs.hasCompletedProfileOnboarding = false; // never saved or skipped the profile
    EXPECT_FALSE(decideOnboarding(inputs).isReturningUser);
}

TEST(OnboardingDecision, OnlySignInCouplesAndEverySignedInOutcomeUncouples) {
    for (int mask = 0; mask < 64; ++mask) {
        OnboardingInputs inputs{(mask & 1) != 0, (mask & 2) != 0,  (mask & 4) != 0,
                                (mask & 8) != 0, (mask & 16) != 0, (mask & 32) != 0};
        auto decision = decideOnboarding(inputs);
        SCOPED_TRACE(mask);
        if (decision.stage == OnboardingStage::signIn)
            EXPECT_EQ(decision.coupling, SignInCoupling::couple);
        else if (inputs.isAuthenticated && inputs.hasSeenWelcomeOnboarding &&
                 inputs.hasPermissions && inputs.hasSeenVideoIntro)
            EXPECT_EQ(decision.coupling, SignInCoupling::uncouple);
        else
            EXPECT_EQ(decision.coupling, SignInCoupling::unchanged);
        if (decision.stage != OnboardingStage::signIn)
            EXPECT_FALSE(decision.isReturningUser);
        // Onboarding can only be finished when nothing is left to require it.
        EXPECT_EQ(decision.isFinished(), !requiresOnboarding(inputs));
    }
}

TEST(OnboardingDecision, RequiresOnboardingUntilAllSixHold) {
    EXPECT_FALSE(requiresOnboarding(allDone()));
    bool OnboardingInputs::*fields[] = {
        &OnboardingInputs::isAuthenticated,   &OnboardingInputs::hasSeenWelcomeOnboarding,
        &OnboardingInputs::hasSeenVideoIntro, &OnboardingInputs::hasCompletedProfileOnboarding,
        &OnboardingInputs::hasPermissions,    &OnboardingInputs::hasCompletedPlaygroundOnboarding,
    };
    for (auto field : fields) {
        auto inputs = allDone();
        inputs.*field = false;
        EXPECT_TRUE(requiresOnboarding(inputs));
    }
}

TEST(OnboardingDecision, FlagsAreReadFromTheirKeysAndAbsentMeansFalse) {
    SimUserDefaults defaults;
    auto inputs = readOnboardingInputs(defaults, true, false);
    EXPECT_FALSE(inputs.hasSeenWelcomeOnboarding);
    EXPECT_TRUE(inputs.hasPermissions);
    EXPECT_FALSE(inputs.isAuthenticated);

    defaults.setBool("hasSeenWelcomeOnboarding", true);
    defaults.setBool("hasSeenVideoIntro", true);
    defaults.setBool("hasCompletedProfileOnboarding", true);
    defaults.setBool("hasCompletedPlaygroundOnboarding", true);
    defaults.setBool("hasDismissedMoveToApplications", false);
    inputs = readOnboardingInputs(defaults, false, true);
    EXPECT_TRUE(inputs.hasSeenWelcomeOnboarding && inputs.hasSeenVideoIntro &&
                inputs.hasCompletedProfileOnboarding && inputs.hasCompletedPlaygroundOnboarding);
    EXPECT_FALSE(inputs.hasPermissions);
    EXPECT_TRUE(inputs.isAuthenticated);
}
