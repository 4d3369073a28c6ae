#include "coordinator_fixture.hpp"
#include "services/config_service.hpp"
#include "text/accessibility_error.hpp"

#include <fstream>
#include <gmock/gmock.h>

using namespace pennial;
using namespace pennial::testing;

namespace {

Json commandRow(const std::string& id, const std::string& name, const std::string& mode) {
    return Json{{"command_id", id}, {"name", name}, {"content", "Do " + name}, {"mode", mode}};
}

class CoordinatorStartup : public CoordinatorFixture {};

} // namespace

TEST_F(CoordinatorStartup, FirstLaunchAsksForEverythingAndStartsNothing) {
    launch();
    EXPECT_EQ(coordinatorLines(),
              (std::vector<std::string>{
                  "🔵 [Pennial] Initializing coordinator...",
                  "🔵 [Pennial] Checking accessibility permissions...",
                  "⚠️  [Pennial] Accessibility permissions not granted",
                  "🔵 [Pennial] Skipping auth restore — pre-sign-in onboarding not complete",
                  "🔵 [Pennial] Loading configuration...",
                  "✅ [Pennial] Configuration loaded",
                  "✅ [Pennial] Startup complete",
                  "🔵 [Pennial] Not authenticated - sign-in required",
              }));
    EXPECT_EQ(crashes->messages("start"),
              (std::vector<std::string>{"App startup began", "Permissions: denied",
                                        "Configuration loaded", "Startup complete"}));
    EXPECT_EQ(coordinator->statusMessage(), "Accessibility permissions required");
    EXPECT_FALSE(coordinator->hasPermissions());
    EXPECT_FALSE(coordinator->isAuthenticated());
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_EQ(textMonitor->startCalls, 0);
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::welcome);
    EXPECT_EQ(moveToApplications->promptCount(), 1);
    EXPECT_EQ(updater->startCount(), 1);
    EXPECT_TRUE(backend.requests().empty()) << "no session, no pull";
    EXPECT_FALSE(std::filesystem::exists(configFile())) << "the defaults are not written";
    EXPECT_EQ(textMonitor->validCommandNames.size(), 8u);
    EXPECT_EQ(textMonitor->calls.front(), "setDelegate");
}

TEST_F(CoordinatorStartup, RelaunchWithAStoredSessionPullsMergesAndStartsMonitoring) {
    completeAllSteps();
    desktop.setTrusted(true);
    auto user = storeSession("ada@example.test");
    backend.setProfileRow(user,
                          Json{{"user_display_names", "Ada"}, {"user_writing_context", "Brief."}});
    backend.setCommandRows(
        user,
        Json::array({commandRow("6F9619FF-8B86-D011-B42D-00C04FC964FF", "polish", "smart_edit"),
                     commandRow("7F9619FF-8B86-D011-B42D-00C04FC964FF", "sig", "snippet")}));
    int updaterStartsAtMonitorStart = -1;
    onTextMonitorMade = [&](FakeTextMonitor& monitor) {
        monitor.onStart = [&] { updaterStartsAtMonitorStart = updater->startCount(); };
    };
    launch();
    EXPECT_EQ(updaterStartsAtMonitorStart, 1) << "monitoring starts after the updater";

    EXPECT_EQ(coordinatorLines(),
              (std::vector<std::string>{
                  "🔵 [Pennial] Initializing coordinator...",
                  "🔵 [Pennial] Checking accessibility permissions...",
                  "✅ [Pennial] Accessibility permissions granted",
                  "🔵 [Pennial] Loading auth session (Supabase: " + backend.baseURL() + ")...",
                  "✅ [Pennial] Restored auth session for ada@example.test",
                  "🔄 [Pennial] Pulling remote data…",
                  "✅ [Pennial] Remote data pull succeeded (profile: found, commands: 2 commands)",
                  "✅ [Pennial] Local config updated from remote",
                  "🔵 [Pennial] Loading configuration...",
                  "✅ [Pennial] Configuration loaded",
                  "✅ [Pennial] Startup complete",
                  "✅ [Pennial] Authenticated and permissions granted - auto-starting monitoring",
                  "🔵 [Pennial] Starting monitoring...",
                  "✅ [Pennial] Monitoring started successfully",
              }));
    EXPECT_EQ(crashes->messages("start"),
              (std::vector<std::string>{"App startup began", "Permissions: granted",
                                        "Auth session restored", "Configuration loaded",
                                        "Startup complete"}));
    EXPECT_TRUE(coordinator->isAuthenticated());
    EXPECT_EQ(coordinator->userEmail(), "ada@example.test");
    EXPECT_TRUE(coordinator->isMonitoring());
    EXPECT_EQ(coordinator->statusMessage(), "Monitoring active - try typing: ;;polish");
    EXPECT_EQ(coordinator->lastError(), std::nullopt);
    EXPECT_EQ(textMonitor->validCommandNames, (std::set<std::string>{"polish", "sig"}));
    EXPECT_EQ(textMonitor->triggerPattern, ";;");

    auto saved = readConfig();
    EXPECT_EQ(saved.userDisplayNames, "Ada");
    EXPECT_EQ(saved.userWritingContext, "Brief.");
    ASSERT_EQ(saved.commands.size(), 2u);
    EXPECT_FALSE(saved.commands[1].replaceText);

    // Onboarding is over: the window goes, focus goes back, nothing else is shown.
    EXPECT_TRUE(onboarding->shown.empty());
    EXPECT_EQ(onboarding->hideCount, 1);
    EXPECT_EQ(focus->restoreCount, 1);
    EXPECT_FALSE(coordinator->requiresOnboarding());
}

TEST_F(CoordinatorStartup, TrustedWithoutAStoredSessionStaysSignedOut) {
    completeAllSteps();
    desktop.setTrusted(true);
    launch();
    EXPECT_TRUE(log.contains("🔵 [Pennial] No existing auth session (or refresh failed)"));
    EXPECT_TRUE(log.contains("🔵 [Pennial] Not authenticated - sign-in required"));
    auto crumbs = crashes->messages("start");
    EXPECT_NE(std::find(crumbs.begin(), crumbs.end(), "No existing auth session"), crumbs.end());
    EXPECT_FALSE(coordinator->isAuthenticated());
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_EQ(coordinator->statusMessage(), "Configuration loaded");
    ASSERT_FALSE(onboarding->shown.empty());
    EXPECT_EQ(onboarding->shown.back().stage, OnboardingStage::signIn);
    EXPECT_TRUE(onboarding->shown.back().isReturningUser);
    EXPECT_FALSE(coordinator->signInNotice()) << "nothing wrong with the keyring";
}

// No keyring at all: nothing to wait for, and the sign-in step says what is missing.
TEST_F(CoordinatorStartup, WithoutAKeyringTheSignInStepSaysSo) {
    completeAllSteps();
    desktop.setTrusted(true);
    storeSession();
    secrets->injectFailure(SimSecretStore::Operation::read, SecretStatus::notAvailable);
    launch();
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::signIn);
    ASSERT_TRUE(coordinator->signInNotice());
    EXPECT_THAT(*coordinator->signInNotice(), ::testing::StartsWith("No keyring is running"));
}

// A keyring still locked (or silent) at start-up is no sign-out: once it answers, the session is
// restored and monitoring starts.
TEST_F(CoordinatorStartup, ASessionBehindALockedKeyringIsRestoredOnceItAnswers) {
    completeAllSteps();
    desktop.setTrusted(true);
    storeSession("ada@example.test");
    secrets->injectFailure(SimSecretStore::Operation::read, SecretStatus::interactionNotAllowed);
    timings.keyringRetryInterval = std::chrono::milliseconds(20);
    launch();
    EXPECT_FALSE(coordinator->isAuthenticated());
    runFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(coordinator->isAuthenticated()) << "still locked";
    ASSERT_TRUE(coordinator->signInNotice());
    EXPECT_THAT(*coordinator->signInNotice(), ::testing::StartsWith("Your keyring is locked"));

    secrets->clearFailure(SimSecretStore::Operation::read);
    ASSERT_TRUE(runUntil([&] { return coordinator->isMonitoring(); }));
    EXPECT_TRUE(coordinator->isAuthenticated());
    EXPECT_FALSE(coordinator->signInNotice());
    EXPECT_TRUE(log.contains("✅ [Pennial] Restored auth session for ada@example.test"));
}

TEST_F(CoordinatorStartup, ASignedInUserWithoutTrustIsNotRestoredYet) {
    completeAllSteps();
    storeSession();
    launch();
    // Without trust the session is not even restored: the permission step comes first.
    EXPECT_TRUE(
        log.contains("🔵 [Pennial] Skipping auth restore — pre-sign-in onboarding not complete"));
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::permissions);
    EXPECT_FALSE(coordinator->isMonitoring());
}

TEST_F(CoordinatorStartup, ACorruptConfigurationStillGivesWorkingDefaultCommands) {
    desktop.setTrusted(true);
    writeConfigText("{\"triggerPattern\": \"//\", \"commands\": [");
    launch();
    EXPECT_EQ(coordinator->statusMessage(), "Using default configuration");
    auto warning = log.matching("⚠️  [Pennial] Failed to load configuration, using defaults: ");
    EXPECT_EQ(warning.size(), 1u);
    EXPECT_EQ(crashes->errors().size(), 1u);
    EXPECT_EQ(textMonitor->triggerPattern, ";;");
    std::set<std::string> defaultNames;
    for (const auto& command : AppConfig::defaultCommands())
        defaultNames.insert(command.name);
    EXPECT_EQ(textMonitor->validCommandNames, defaultNames);
    // The commands work: the defaults are what the service looks names up in.
    auto fix = await(coordinator->configService()->getCommand("fix"));
    EXPECT_TRUE(fix.has_value());
    // The file is kept as it was.
    std::ifstream in(configFile());
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "{\"triggerPattern\": \"//\", \"commands\": [");
}

TEST_F(CoordinatorStartup, StartingTwiceStartsOnceAndStoppingUnstartedIsHarmless) {
    desktop.setTrusted(true);
    launch();
    textMonitor->startDelay = std::chrono::milliseconds(20);
    await(coordinator->stopMonitoring());
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_EQ(coordinator->statusMessage(), "Monitoring stopped");

    bool firstDone = false;
    asio::co_spawn(main, coordinator->startMonitoring(),
                   [&](std::exception_ptr) { firstDone = true; });
    await(coordinator->startMonitoring()); // made while the first still awaits the monitor
    EXPECT_TRUE(runUntil([&] { return firstDone; }));
    EXPECT_EQ(textMonitor->startCalls, 1);
    EXPECT_TRUE(coordinator->isMonitoring());
}

TEST_F(CoordinatorStartup, AFailingMonitorLeavesMonitoringOffAndSaysWhy) {
    desktop.setTrusted(true);
    launch();
    textMonitor->startFailure =
        std::make_exception_ptr(AccessibilityError(AccessibilityError::Kind::permissionDenied));
    await(coordinator->startMonitoring());
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_EQ(coordinator->statusMessage(), "Monitoring failed");
    ASSERT_TRUE(coordinator->lastError().has_value());
    EXPECT_TRUE(coordinator->lastError()->starts_with("Failed to start monitoring: "));
    EXPECT_EQ(log.matching("❌ [Pennial] Failed to start monitoring: ").size(), 1u);
}

TEST_F(CoordinatorStartup, StartingWithoutTrustOnlyExplainsIt) {
    launch();
    await(coordinator->startMonitoring());
    EXPECT_EQ(textMonitor->startCalls, 0);
    EXPECT_EQ(coordinator->lastError(), "Accessibility permissions required");
    EXPECT_EQ(coordinator->statusMessage(), "Accessibility permissions required");
    EXPECT_TRUE(log.contains("❌ [Pennial] Cannot start monitoring: permissions not granted"));
}

TEST_F(CoordinatorStartup, StoppingEndsTheAppSwitchObserverAndHidesTheOverlay) {
    completeAllSteps();
    desktop.setTrusted(true);
    storeSession();
    launch();
    ASSERT_TRUE(coordinator->isMonitoring());
    int hides = overlay->hideCount;
    await(coordinator->stopMonitoring());
    EXPECT_EQ(overlay->hideCount, hides + 1);
    EXPECT_EQ(textMonitor->stopCalls, 1);
    EXPECT_FALSE(coordinator->isMonitoring());
}

TEST_F(CoordinatorStartup, TheDesignPreviewShowsThePaletteThenTheCardAndStaysUp) {
    environment->set("PENNIAL_SPINNER_DESIGN_MODE", "1");
    launch();
    ASSERT_TRUE(runUntil([&] { return overlay->processing; }));
    ASSERT_EQ(overlay->palettes.size(), 1u);
    const auto& palette = overlay->palettes[0];
    EXPECT_EQ(palette.suggestions,
              (std::vector<TemplateSuggestion>{
                  {"fix", "Fix", false}, {"reply", "Reply", false}, {"short", "Short", false}}));
    EXPECT_EQ(palette.query, "");
    EXPECT_EQ(palette.selectedIndex, 0);
    EXPECT_EQ(palette.caret, std::nullopt);

    await(coordinator->stopMonitoring());
    EXPECT_TRUE(overlay->visible) << "the preview stays up for design work";
    EXPECT_EQ(overlay->hideCount, 0);
}

TEST_F(CoordinatorStartup, OnlyTheValueOneTurnsTheDesignPreviewOn) {
    for (const char* value : {"0", "true", ""}) {
        environment->set("PENNIAL_SPINNER_DESIGN_MODE", value);
        launch();
        runFor(std::chrono::milliseconds(40));
        EXPECT_TRUE(overlay->palettes.empty()) << value;
        coordinator.reset();
    }
}
