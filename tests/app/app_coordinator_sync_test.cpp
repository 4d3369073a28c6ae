#include "coordinator_fixture.hpp"
#include "services/config_service.hpp"

using namespace pennial;
using namespace pennial::testing;

namespace {

Json rowOf(const Command& command) {
    return Json{{"command_id", command.id.toString()},
                {"name", command.name},
                {"content", command.content},
                {"mode", modeName(command.replaceText)}};
}

Json rowsOf(const std::vector<Command>& commands) {
    Json rows = Json::array();
    for (const auto& command : commands)
        rows.push_back(rowOf(command));
    return rows;
}

std::vector<Command> twoCommands() {
    static const std::vector<Command> commands{Command::make("polish", "Polish it", true),
                                               Command::make("sig", "Best,\nAda", false)};
    return commands;
}

class CoordinatorSync : public CoordinatorFixture {
protected:
    void SetUp() override { userId = storeSession("ada@example.test"); }
    // Signed in, trusted and through onboarding: the start-up pull has already run.
    void launchSignedIn() {
        completeAllSteps();
        desktop.setTrusted(true);
        launch();
        ASSERT_TRUE(coordinator->isAuthenticated());
    }
    const std::string& user() const { return userId; }
    std::string userId;
    void setRemoteProfile(const std::string& names, const std::string& context) {
        backend.setProfileRow(
            user(), Json{{"user_display_names", names}, {"user_writing_context", context}});
    }
};

} // namespace

TEST_F(CoordinatorSync, NothingNewWritesNothing) {
    auto local = AppConfig::defaults();
    local.commands = twoCommands();
    local.userDisplayNames = "Ada";
    writeConfig(local);
    setRemoteProfile("Ada", "");
    backend.setCommandRows(user(), rowsOf(local.commands));
    auto written = std::filesystem::last_write_time(configFile());
    launchSignedIn();
    EXPECT_TRUE(log.contains(
        "✅ [Pennial] Remote data pull succeeded (profile: found, commands: 2 commands)"));
    EXPECT_FALSE(log.contains("✅ [Pennial] Local config updated from remote"));
    EXPECT_EQ(std::filesystem::last_write_time(configFile()), written);
}

TEST_F(CoordinatorSync, AFailedPullIsReportedAndTheOtherStillApplied) {
    launchSignedIn();
    backend.setCommandRows(user(), rowsOf(twoCommands()));
    backend.answerNext(Endpoint::profileGet, FakeAnswer::json(500, Json{{"message", "down"}}));
    log.clear();
    EXPECT_FALSE(await(coordinator->pullRemoteData()));
    EXPECT_TRUE(
        log.contains("❌ [Pennial] Remote data pull failed — profile: false, commands: true"));
    EXPECT_TRUE(log.contains("✅ [Pennial] Local config updated from remote"));
    EXPECT_EQ(readConfig().commands, twoCommands());
    EXPECT_EQ(textMonitor->validCommandNames, (std::set<std::string>{"polish", "sig"}));
}

TEST_F(CoordinatorSync, TheDefaultCommandsSurviveANewRunWithAnEmptyRemoteList) {
    // Saved by an earlier run: the default commands with that run's ids, and a profile.
    auto earlier = AppConfig::defaults();
    for (auto& command : earlier.commands)
        command.id = Uuid::random();
    earlier.userDisplayNames = "Ada";
    writeConfig(earlier);
    launchSignedIn(); // no rows remotely: an empty command list
    EXPECT_TRUE(log.contains(
        "✅ [Pennial] Remote data pull succeeded (profile: no data, commands: 0 commands)"));
    EXPECT_EQ(readConfig().commands.size(), 8u);
    EXPECT_EQ(textMonitor->validCommandNames.size(), 8u);
}

TEST_F(CoordinatorSync, LocalEditsWhosePushFailedAreNotOverwrittenByThePull) {
    launchSignedIn();
    backend.setCommandRows(user(), rowsOf(AppConfig::defaultCommands()));
    auto edited = AppConfig::defaults();
    edited.commands = twoCommands();
    writeConfig(edited); // the settings window's local save
    backend.answerAlways(Endpoint::commandsUpsert, FakeAnswer::json(409, Json{{"message", "no"}}));
    coordinator->noteLocalCommandsEdit();
    EXPECT_FALSE(await(coordinator->pushLocalCommands()));
    EXPECT_TRUE(defaults->boolForKey("hasUnpushedLocalCommands"));

    // Still refused: the pull leaves the local list alone.
    await(coordinator->pullRemoteData());
    EXPECT_EQ(readConfig().commands, twoCommands());
    EXPECT_TRUE(defaults->boolForKey("hasUnpushedLocalCommands"));

    // Accepted now: the local list goes up first and the marker goes.
    backend.clearAnswers(Endpoint::commandsUpsert);
    auto pushesBefore = backend.requestCount(Endpoint::commandsUpsert);
    EXPECT_TRUE(await(coordinator->pullRemoteData()));
    EXPECT_EQ(backend.requestCount(Endpoint::commandsUpsert), pushesBefore + 1);
    EXPECT_FALSE(defaults->boolForKey("hasUnpushedLocalCommands"));
    auto sent = backend.requests(Endpoint::commandsUpsert).back().json();
    ASSERT_EQ(sent["p_commands"].size(), 2u);
    EXPECT_EQ(sent["p_commands"][0]["name"], "polish");
    EXPECT_EQ(readConfig().commands, twoCommands());
}

TEST_F(CoordinatorSync, SignOutResetsToTheDefaultsAndStopsMonitoring) {
    auto local = AppConfig::defaults();
    local.commands = twoCommands();
    local.triggerPattern = "//";
    local.userDisplayNames = "Ada";
    writeConfig(local);
    backend.setCommandRows(user(), rowsOf(local.commands));
    launchSignedIn();
    ASSERT_TRUE(coordinator->isMonitoring());
    defaults->setBool("hasUnpushedLocalCommands", true);
    onboarding->shown.clear();

    await(coordinator->signOut());
    EXPECT_FALSE(coordinator->isAuthenticated());
    EXPECT_EQ(coordinator->userEmail(), std::nullopt);
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_EQ(coordinator->statusMessage(), "Monitoring stopped");
    EXPECT_EQ(secrets->item("com.pennial.macos.auth", "session"), std::nullopt);
    EXPECT_FALSE(defaults->boolForKey("hasUnpushedLocalCommands"));

    auto reset = readConfig();
    EXPECT_EQ(reset.triggerPattern, ";;");
    EXPECT_EQ(reset.commands, AppConfig::defaultCommands());
    EXPECT_EQ(reset.userDisplayNames, "");
    EXPECT_EQ(reset.apiTimeout, 10.0);
    ASSERT_FALSE(onboarding->shown.empty());
    EXPECT_EQ(onboarding->shown.back().stage, OnboardingStage::signIn);
    EXPECT_TRUE(onboarding->shown.back().isReturningUser);
    EXPECT_TRUE(defaults->boolForKey("hasCompletedPlaygroundOnboarding")) << "flags stay";
}

TEST_F(CoordinatorSync, SignOutGoesOnWhenTheConfigurationCannotBeWritten) {
    std::filesystem::create_directory(configFile()); // nothing can be read or written there
    launchSignedIn();
    await(coordinator->signOut());
    EXPECT_EQ(log.matching("⚠️ [Pennial] Failed to reset config on sign out: ").size(), 1u);
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::signIn);
}

TEST_F(CoordinatorSync, APullDoesNotUndoAnEditMadeWhileItRan) {
    launchSignedIn();
    backend.setCommandRows(user(), rowsOf(twoCommands()));
    backend.setDelay(Endpoint::commandsGet, std::chrono::milliseconds(100));
    bool pulled = false;
    asio::co_spawn(main, coordinator->pullRemoteData(),
                   [&](std::exception_ptr, bool) { pulled = true; });
    ASSERT_TRUE(runUntil([&] { return backend.requestCount(Endpoint::commandsGet) == 2; }));
    std::function<void(AppConfig&)> edit = [](AppConfig& config) {
        config.userWritingContext = "Formal.";
    };
    await(coordinator->configService()->update(edit));
    ASSERT_TRUE(runUntil([&] { return pulled; }));
    auto saved = readConfig();
    EXPECT_EQ(saved.userWritingContext, "Formal.");
    EXPECT_EQ(saved.commands, twoCommands());
}

TEST_F(CoordinatorSync, AnExpiredSessionSignsOutAndAsksForSignInAgain) {
    launchSignedIn();
    ASSERT_TRUE(coordinator->isMonitoring());
    await(coordinator->handleAuthExpired());
    EXPECT_FALSE(coordinator->isAuthenticated());
    EXPECT_EQ(coordinator->userEmail(), std::nullopt);
    EXPECT_EQ(coordinator->lastError(), "Session expired. Please sign in again.");
    EXPECT_EQ(coordinator->statusMessage(), "Monitoring stopped");
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_EQ(secrets->item("com.pennial.macos.auth", "session"), std::nullopt);
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::signIn);
    EXPECT_TRUE(onboarding->onResignKey) << "the sign-in step couples the code panel";
}
