#include "coordinator_fixture.hpp"

using namespace pennial;
using namespace pennial::testing;

namespace {

class CoordinatorPermissions : public CoordinatorFixture {
protected:
    // Signed in and monitoring, then trust is withdrawn and monitoring stopped.
    void launchSignedInThenLoseTrust() {
        completeAllSteps();
        desktop.setTrusted(true);
        storeSession();
        launch();
        ASSERT_TRUE(coordinator->isMonitoring());
        await(coordinator->stopMonitoring());
        desktop.setTrusted(false);
    }
};

} // namespace

TEST_F(CoordinatorPermissions, ThePollChecksOncePerInterval) {
    EXPECT_EQ(CoordinatorTimings{}.permissionPollInterval, std::chrono::seconds(2));
    EXPECT_EQ(CoordinatorTimings{}.permissionRequestSettle, std::chrono::seconds(1));
    launch();
    auto granted = std::chrono::steady_clock::now();
    desktop.setTrusted(true);
    ASSERT_TRUE(runUntil([&] { return coordinator->hasPermissions(); }));
    auto waited = std::chrono::steady_clock::now() - granted;
    EXPECT_LE(waited, timings.permissionPollInterval * 3);
}

TEST_F(CoordinatorPermissions, TrustGrantedWhileSignedOutMovesOnboardingOnButStartsNothing) {
    defaults->setBool("hasSeenWelcomeOnboarding", true);
    launch();
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::permissions);
    desktop.setTrusted(true);
    ASSERT_TRUE(runUntil([&] { return coordinator->hasPermissions(); }));
    EXPECT_TRUE(log.contains("✅ [Pennial] Permissions detected - auto-starting monitoring"));
    EXPECT_EQ(coordinator->statusMessage(), "Permissions granted");
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::videoIntro);
    runFor(3 *
           std::chrono::duration_cast<std::chrono::milliseconds>(timings.permissionPollInterval));
    EXPECT_EQ(textMonitor->startCalls, 0);
    EXPECT_EQ(log.matching("Permissions detected").size(), 1u) << "the poll has ended";
}

TEST_F(CoordinatorPermissions, ARequestWhileUntrustedPromptsAndPollsUntilGranted) {
    launchSignedInThenLoseTrust();
    await(coordinator->requestPermissions());
    EXPECT_EQ(desktop.trustPromptCount(), 1);
    EXPECT_FALSE(coordinator->hasPermissions());
    EXPECT_EQ(coordinator->statusMessage(),
              "Turn on accessibility in your desktop's settings - will auto-detect when it is on");
    // A signed-in user without trust is sent back to the permission step.
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::permissions);

    desktop.setTrusted(true);
    ASSERT_TRUE(runUntil([&] { return coordinator->isMonitoring(); }));
    EXPECT_TRUE(log.contains("✅ [Pennial] Permissions detected - auto-starting monitoring"));
    EXPECT_EQ(textMonitor->startCalls, 2);
    EXPECT_EQ(coordinator->statusMessage(), "Monitoring active - try typing: ;;polish");
}

TEST_F(CoordinatorPermissions, ARequestWhileTrustedStartsMonitoringEvenSignedOut) {
    desktop.setTrusted(true);
    launch();
    ASSERT_FALSE(coordinator->isMonitoring());
    await(coordinator->requestPermissions());
    EXPECT_EQ(coordinator->statusMessage(), "Monitoring active - try typing: ;;polish");
    EXPECT_TRUE(coordinator->isMonitoring());
    EXPECT_FALSE(coordinator->isAuthenticated());
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(log.matching("Permissions detected").size(), 0u) << "no poll was started";
}

TEST_F(CoordinatorPermissions, RepeatedRequestsLeaveOnePoll) {
    launchSignedInThenLoseTrust();
    bool firstDone = false;
    asio::co_spawn(main, coordinator->requestPermissions(),
                   [&](std::exception_ptr) { firstDone = true; });
    await(coordinator->requestPermissions());
    ASSERT_TRUE(runUntil([&] { return firstDone; }));
    desktop.setTrusted(true);
    ASSERT_TRUE(runUntil([&] { return coordinator->isMonitoring(); }));
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(log.matching("Permissions detected").size(), 1u);
    EXPECT_EQ(textMonitor->startCalls, 2);
}

// After a request, the screen that asked has one line to show: what stands in the way, or, when
// the request turned accessibility on, that applications already open must start again. That
// step then stays until the user continues, so the line can be read.
TEST_F(CoordinatorPermissions, ARequestLeavesOneLineOfAdviceForTheScreenThatAsked) {
    bool busAnswers = true;
    adjustDependencies = [&](CoordinatorDependencies& dependencies) {
        dependencies.accessibilityBusReachable = [&] { return busAnswers; };
    };
    defaults->setBool("hasSeenWelcomeOnboarding", true);
    launch();
    ASSERT_EQ(onboarding->lastStage(), OnboardingStage::permissions);
    struct Case {
        bool busAnswers;
        bool grants;
        const char* advice; // a part of it; none: no advice
    };
    for (const Case& c : {Case{false, false, "accessibility bus does not answer"},
                          Case{true, false, "turn it on in your desktop's settings"},
                          Case{true, true, "Restart the applications that were already open"}}) {
        busAnswers = c.busAnswers;
        desktop.setGrantTrustOnPrompt(c.grants);
        await(coordinator->requestPermissions());
        const auto& advice = coordinator->permissionAdvice();
        ASSERT_EQ(advice.has_value(), c.advice != nullptr) << advice.value_or("none");
        if (c.advice)
            EXPECT_NE(advice->find(c.advice), std::string::npos) << *advice;
        EXPECT_EQ(onboarding->lastStage(), OnboardingStage::permissions);
    }
    // Continuing moves on, as with a replayed step; a request that finds trust there says nothing.
    onboarding->current.onCompletePermissions();
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::videoIntro);
    await(coordinator->requestPermissions());
    EXPECT_EQ(coordinator->permissionAdvice(), std::nullopt);
}
