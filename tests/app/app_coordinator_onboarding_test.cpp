#include "coordinator_fixture.hpp"
#include "services/auth_error.hpp"

using namespace pennial;
using namespace pennial::testing;

namespace {

class CoordinatorOnboarding : public CoordinatorFixture {
protected:
    SignInResult verify(const std::string& code) {
        return await(onboarding->current.onVerifyOTP("ada@example.test", code));
    }
    // At the sign-in step, trusted, with the steps before it done.
    void launchAtSignIn() {
        completePreSignInSteps();
        desktop.setTrusted(true);
        launch();
        ASSERT_EQ(onboarding->lastStage(), OnboardingStage::signIn);
    }
};

AuthError::Kind authKind(const SignInResult& result) {
    try {
        std::rethrow_exception(result.error());
    } catch (const AuthError& error) {
        return error.kind();
    } catch (...) {
    }
    ADD_FAILURE() << "not an AuthError";
    return AuthError::Kind::networkError;
}

} // namespace

TEST_F(CoordinatorOnboarding, ANewUserIsWalkedThroughEveryStep) {
    launch();
    ASSERT_EQ(onboarding->lastStage(), OnboardingStage::welcome);
    onboarding->current.onCompleteWelcome();
    EXPECT_TRUE(defaults->boolForKey("hasSeenWelcomeOnboarding"));
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::permissions);

    desktop.setTrusted(true); // granted in the desktop's settings; the poll notices
    ASSERT_TRUE(runUntil([&] { return onboarding->lastStage() == OnboardingStage::videoIntro; }));
    onboarding->current.onCompleteVideoIntro();
    ASSERT_EQ(onboarding->lastStage(), OnboardingStage::signIn);
    EXPECT_FALSE(onboarding->shown.back().isReturningUser);

    EXPECT_TRUE(await(onboarding->current.onRequestOTP("ada@example.test")).succeeded());
    EXPECT_EQ(backend.requestCount(Endpoint::otpRequest), 1u);
    ASSERT_TRUE(verify("123456").succeeded());
    EXPECT_TRUE(coordinator->isAuthenticated());
    EXPECT_EQ(coordinator->userEmail(), "ada@example.test");

    onboarding->current.onSignInComplete();
    ASSERT_TRUE(runUntil([&] { return onboarding->lastStage() == OnboardingStage::getToKnowYou; }));
    EXPECT_EQ(backend.requestCount(Endpoint::commandsGet), 1u) << "signing in pulls";

    onboarding->current.onSaveProfile("Ada", "Short sentences.");
    ASSERT_TRUE(runUntil([&] { return backend.requestCount(Endpoint::profileUpsert) == 1; }));
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::done);
    EXPECT_EQ(readConfig().userDisplayNames, "Ada");
    EXPECT_EQ(readConfig().userWritingContext, "Short sentences.");
    EXPECT_EQ(backend.requests(Endpoint::profileUpsert)[0].json()["user_display_names"], "Ada");

    int changes = 0;
    auto connection = coordinator->changed().connect([&] { ++changes; });
    onboarding->current.onCompletePlayground();
    EXPECT_GE(changes, 1) << "observers learn that onboarding no longer blocks the menu";
    EXPECT_FALSE(coordinator->requiresOnboarding());
    EXPECT_FALSE(onboarding->isOpen);
    EXPECT_EQ(focus->restoreCount, 1);
    auto settings = cards->withId("settings");
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_TRUE(settings[0]->open);
    EXPECT_EQ(coordinator->initialSettingsTab(), 1);
    ASSERT_TRUE(runUntil([&] { return coordinator->isMonitoring(); }));
    ASSERT_FALSE(textMonitor->allowOwnProcessUpdates.empty());
    for (bool allow : textMonitor->allowOwnProcessUpdates)
        EXPECT_FALSE(allow) << "this application's own fields are never read";
}

TEST_F(CoordinatorOnboarding, EveryStepShownClosesTheSettingsAndAboutWindows) {
    launchAtSignIn();
    coordinator->showSettings(0);
    coordinator->showAbout();
    auto settings = cards->withId("settings").at(0);
    auto about = cards->withId("about").at(0);
    await(coordinator->requestPermissions()); // any call that lands on a step
    EXPECT_EQ(settings->hideCount, 1);
    EXPECT_TRUE(settings->destroyed);
    EXPECT_TRUE(about->destroyed);
    coordinator->showAbout();
    EXPECT_EQ(cards->withId("about").size(), 2u) << "a new about controller after onboarding";
}

TEST_F(CoordinatorOnboarding, TheFinishedStateLeavesTheCardsOpen) {
    completeAllSteps();
    desktop.setTrusted(true);
    storeSession();
    launch();
    coordinator->showAbout();
    auto about = cards->withId("about").at(0);
    coordinator->showAbout();
    EXPECT_EQ(cards->withId("about").size(), 1u);
    EXPECT_EQ(about->showCount, 2);
    EXPECT_EQ(about->options,
              (CardWindowOptions{"about", Size{324, 284}, false, CardWindowContent::about}));
    EXPECT_FALSE(about->destroyed);
}

TEST_F(CoordinatorOnboarding, SettingsAreReplacedOnEveryRequest) {
    launch();
    coordinator->showSettings(0);
    coordinator->showSettings(1);
    auto settings = cards->withId("settings");
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_TRUE(settings[0]->destroyed);
    EXPECT_EQ(settings[0]->hideCount, 1);
    EXPECT_TRUE(settings[1]->open);
    EXPECT_TRUE(settings[1]->showTitlebarLogo);
    EXPECT_EQ(settings[1]->options,
              (CardWindowOptions{"settings", Size{720, 600}, true, CardWindowContent::settings}));
    EXPECT_EQ(coordinator->initialSettingsTab(), 1);
}

TEST_F(CoordinatorOnboarding, AWrongCodeFailsAndIsReported) {
    launchAtSignIn();
    auto result = verify("000000");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(authKind(result), AuthError::Kind::verificationFailed);
    EXPECT_EQ(crashes->errors().size(), 1u);
    EXPECT_FALSE(coordinator->isAuthenticated());
}

TEST_F(CoordinatorOnboarding, TheCodePanelTakesOverWhenTheWindowIsCovered) {
    launchAtSignIn();
    onboarding->email = "ada@example.test";
    onboarding->atEnterCodeStep = true;

    onboarding->resignKey(); // still visible: no panel
    runFor(std::chrono::milliseconds(30));
    EXPECT_EQ(panel->showCount, 0);

    onboarding->visible = false;
    onboarding->resignKey();
    ASSERT_TRUE(runUntil([&] { return panel->visible; }));
    EXPECT_EQ(panel->email, "ada@example.test");

    onboarding->typeCode("12");
    EXPECT_EQ(panel->code, "12");
    panel->typeCode("1234");
    EXPECT_EQ(onboarding->code, "1234");
    EXPECT_EQ(onboarding->codeWrites, 1) << "mirroring does not echo back";

    onboarding->becomeKey();
    EXPECT_FALSE(panel->visible);

    onboarding->visible = false;
    onboarding->resignKey();
    ASSERT_TRUE(runUntil([&] { return panel->visible; }));
    EXPECT_EQ(panel->code, "1234") << "the panel carries on with the window's code";
    panel->typeCode("12345");
    EXPECT_EQ(onboarding->code, "12345");
    ASSERT_TRUE(await(panel->onVerify("ada@example.test", "123456")).succeeded());
    EXPECT_TRUE(coordinator->isAuthenticated());
    panel->onSignInComplete();
    EXPECT_FALSE(panel->visible);
    ASSERT_TRUE(runUntil([&] { return onboarding->lastStage() == OnboardingStage::getToKnowYou; }));
    EXPECT_FALSE(onboarding->onResignKey) << "signed in: the coupling is undone";
    EXPECT_FALSE(onboarding->onCodeChanged);
}

TEST_F(CoordinatorOnboarding, CallbacksOutlivingTheCoordinatorDoNothing) {
    launchAtSignIn();
    auto callbacks = onboarding->current;
    coordinator.reset();
    runFor(std::chrono::milliseconds(5));
    auto result = await(callbacks.onVerifyOTP("ada@example.test", "123456"));
    EXPECT_EQ(authKind(result), AuthError::Kind::noSession);
    EXPECT_EQ(authKind(await(callbacks.onRequestOTP("ada@example.test"))),
              AuthError::Kind::noSession);
    EXPECT_EQ(backend.requestCount(Endpoint::otpVerify), 0u);
    callbacks.onSignInComplete();
}

TEST_F(CoordinatorOnboarding, AProfileThatCannotBeSavedLocallyIsStillUploaded) {
    completePreSignInSteps();
    desktop.setTrusted(true);
    storeSession();
    launch();
    ASSERT_EQ(onboarding->lastStage(), OnboardingStage::getToKnowYou);
    std::filesystem::create_directory(configFile()); // cannot be written
    onboarding->current.onSaveProfile("Ada", "Brief.");
    ASSERT_TRUE(runUntil([&] { return backend.requestCount(Endpoint::profileUpsert) == 1; }));
    EXPECT_EQ(log.matching("⚠️ [Pennial] Failed to save profile locally: ").size(), 1u);
    EXPECT_TRUE(defaults->boolForKey("hasCompletedProfileOnboarding"));
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::done);
}

TEST_F(CoordinatorOnboarding, SkippingTheProfileSavesNothing) {
    completePreSignInSteps();
    desktop.setTrusted(true);
    storeSession();
    launch();
    onboarding->current.onSkipProfile();
    EXPECT_TRUE(defaults->boolForKey("hasCompletedProfileOnboarding"));
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::done);
    EXPECT_EQ(backend.requestCount(Endpoint::profileUpsert), 0u);
}
