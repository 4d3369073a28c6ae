#include "app/remote_merge.hpp"
#include "coordinator_fixture.hpp"
#include "platform/linux/storage/file_user_defaults.hpp"
#include "services/auth_service.hpp"
#include "services/config_service.hpp"
#include "services/file_config_storage.hpp"

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
    EXPECT_EQ(secrets->item("com.pennial.Pennial.auth", "session"), std::nullopt);
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
    EXPECT_EQ(secrets->item("com.pennial.Pennial.auth", "session"), std::nullopt);
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::signIn);
    EXPECT_TRUE(onboarding->onResignKey) << "the sign-in step couples the code panel";
}

namespace {

std::vector<std::string> copiesAside(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("config.json.before-sync-"))
            names.push_back(entry.path().filename().string());
    return names;
}

std::vector<std::string> remoteNames(const Json& rows) {
    std::vector<std::string> names;
    for (const auto& row : rows)
        names.push_back(row.at("name").get<std::string>());
    return names;
}

} // namespace

TEST_F(CoordinatorSync, AnEditSavedWhileAPullRunsWinsThereAndAfterAFailedPush) {
    launchSignedIn();
    backend.setCommandRows(user(), rowsOf(twoCommands()));
    backend.setDelay(Endpoint::commandsGet, std::chrono::milliseconds(100));
    bool pulled = false;
    asio::co_spawn(main, coordinator->pullRemoteData(),
                   [&](std::exception_ptr, bool) { pulled = true; });
    ASSERT_TRUE(runUntil([&] { return backend.requestCount(Endpoint::commandsGet) == 2; }));
    // The settings window's save of an edit, whose push is refused.
    std::vector<Command> edited{Command::make("mine", "Mine", true)};
    coordinator->noteLocalCommandsEdit();
    std::function<void(AppConfig&)> edit = [&](AppConfig& config) { config.commands = edited; };
    await(coordinator->configService()->update(edit));
    backend.answerNext(Endpoint::commandsUpsert, FakeAnswer::json(409, Json{{"message", "no"}}));
    backend.answerNext(Endpoint::commandsUpsert, FakeAnswer::json(409, Json{{"message", "no"}}));
    EXPECT_FALSE(await(coordinator->pushLocalCommands()));
    ASSERT_TRUE(runUntil([&] { return pulled; }));
    EXPECT_EQ(readConfig().commands, edited);

    // The next pull pushes the edit rather than taking the stale cloud list.
    backend.clearAnswers(Endpoint::commandsGet);
    EXPECT_TRUE(await(coordinator->pullRemoteData()));
    EXPECT_EQ(readConfig().commands, edited);
    EXPECT_EQ(remoteNames(backend.commandRows(user())), (std::vector<std::string>{"mine"}));
}

TEST_F(CoordinatorSync, NothingOfOneAccountReachesTheNextAfterTheSessionExpired) {
    auto adas = twoCommands();
    backend.setCommandRows(user(), rowsOf(adas));
    setRemoteProfile("Ada", "Warm.");
    launchSignedIn();
    // An edit Ada's cloud never got, then the session ends by expiry, not by sign-out.
    std::vector<Command> unpushed{Command::make("private", "Ada only", true)};
    coordinator->noteLocalCommandsEdit();
    std::function<void(AppConfig&)> edit = [&](AppConfig& config) { config.commands = unpushed; };
    await(coordinator->configService()->update(edit));
    await(coordinator->handleAuthExpired());

    await(coordinator->authService()->verifyOTP("bob@example.test", "123456"));
    const auto bob = backend.userForAccessToken(
        (*await(coordinator->authService()->currentSession())).accessToken);
    ASSERT_NE(bob, user());
    await(coordinator->pullRemoteData());
    EXPECT_TRUE(backend.commandRows(bob).empty() ||
                remoteNames(backend.commandRows(bob)) != std::vector<std::string>{"private"});
    for (const auto& request : backend.requests(Endpoint::commandsUpsert))
        EXPECT_EQ(request.body.find("Ada only"), std::string::npos);
    EXPECT_EQ(backend.profileRow(bob), std::nullopt);
    auto local = readConfig();
    EXPECT_TRUE(sameCommandsIgnoringIds(local.commands, AppConfig::defaultCommands()));
    EXPECT_EQ(local.userDisplayNames, "");
    ASSERT_EQ(copiesAside(folder.path()).size(), 1u) << "Ada's edit is kept aside, not lost";

    // Ada again: her own cloud list, her unpushed edit no longer in the way of anyone.
    await(coordinator->authService()->verifyOTP("ada@example.test", "123456"));
    await(coordinator->pullRemoteData());
    EXPECT_EQ(readConfig().commands, adas);
    EXPECT_EQ(readConfig().userDisplayNames, "Ada");
}

TEST_F(CoordinatorSync, ANullProfileColumnKeepsTheLocalTextAndPushesIt) {
    auto local = AppConfig::defaults();
    local.userDisplayNames = "Ada";
    local.userWritingContext = "Warm.";
    writeConfig(local);
    backend.setProfileRow(
        user(), Json{{"user_display_names", nullptr}, {"user_writing_context", "Brief."}});
    launchSignedIn();
    EXPECT_EQ(readConfig().userDisplayNames, "Ada");
    EXPECT_EQ(readConfig().userWritingContext, "Brief.");
    auto row = backend.profileRow(user());
    ASSERT_TRUE(row);
    EXPECT_EQ((*row)["user_display_names"], "Ada");
}

TEST_F(CoordinatorSync, AnEmptyCloudListIsNotSetYetUntilThisInstallationFilledIt) {
    // Added while signed out on a fresh account: the commands stay and go up.
    auto local = AppConfig::defaults();
    local.commands = twoCommands();
    writeConfig(local);
    launchSignedIn();
    EXPECT_EQ(readConfig().commands, twoCommands());
    EXPECT_EQ(remoteNames(backend.commandRows(user())),
              (std::vector<std::string>{"polish", "sig"}));

    // Edited in the file between runs: the edit wins over the unchanged cloud copy.
    local.commands = {Command::make("polish", "Polish it more", true)};
    writeConfig(local);
    EXPECT_TRUE(await(coordinator->pullRemoteData()));
    EXPECT_EQ(readConfig().commands, local.commands);
    EXPECT_EQ(backend.commandRows(user())[0]["content"], "Polish it more");

    // Emptied on another device after this one filled it: emptied here too, the file kept.
    backend.setCommandRows(user(), Json::array());
    EXPECT_TRUE(await(coordinator->pullRemoteData()));
    EXPECT_TRUE(readConfig().commands.empty());
    auto copies = copiesAside(folder.path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(FileConfigStorage(folder.path() / copies[0]).loadNow().commands, local.commands);
}

namespace {

// The ways the file holding the sync ledger ends up unreadable.
enum class LedgerDamage { corrupt, truncated, oversized, emptied };

void damageLedger(const std::filesystem::path& file, LedgerDamage damage) {
    auto text = readFile(file);
    switch (damage) {
    case LedgerDamage::corrupt:
        text[text.size() / 2] = '\x01';
        break;
    case LedgerDamage::truncated:
        text.resize(text.size() / 2);
        break;
    case LedgerDamage::oversized: // well-formed, but no ledger is that large
        text =
            R"({"hasUnpushedLocalCommands": true, "pad": ")" + std::string(20 << 20, 'x') + "\"}";
        break;
    case LedgerDamage::emptied:
        text.clear();
        break;
    }
    writeFile(file, text);
}

std::string ledgerDamageName(const ::testing::TestParamInfo<LedgerDamage>& info) {
    static const char* const names[] = {"corrupt", "truncated", "oversized", "emptied"};
    return names[static_cast<int>(info.param)];
}

class CoordinatorSyncLedger : public CoordinatorSync,
                              public ::testing::WithParamInterface<LedgerDamage> {};

} // namespace

// The ledger that said the edit was not pushed is lost between runs (and the onboarding flags
// with it, so the user signs in again): the edit stays and goes up.
TEST_P(CoordinatorSyncLedger, AnUnreadableLedgerKeepsTheUnpushedEditAndPushesIt) {
    const auto file = folder / "defaults.json";
    auto stored = std::make_shared<FileUserDefaults>(file);
    adjustDependencies = [&](CoordinatorDependencies& dependencies) {
        dependencies.userDefaults = stored;
    };
    for (const char* step : {"hasSeenWelcomeOnboarding", "hasSeenVideoIntro",
                             "hasCompletedProfileOnboarding", "hasCompletedPlaygroundOnboarding"})
        stored->setBool(step, true);
    backend.setCommandRows(user(), rowsOf(AppConfig::defaultCommands()));
    desktop.setTrusted(true);
    launch();
    ASSERT_TRUE(coordinator->isAuthenticated());
    coordinator->noteLocalCommandsEdit();
    std::function<void(AppConfig&)> edit = [](AppConfig& config) {
        config.commands = twoCommands();
    };
    await(coordinator->configService()->update(edit));
    backend.answerAlways(Endpoint::commandsUpsert, FakeAnswer::json(409, Json{{"message", "no"}}));
    EXPECT_FALSE(await(coordinator->pushLocalCommands()));
    backend.clearAnswers(Endpoint::commandsUpsert);
    ASSERT_TRUE(stored->boolForKey("hasUnpushedLocalCommands"));

    coordinator.reset();
    runFor(std::chrono::milliseconds(5));
    stored.reset();
    damageLedger(file, GetParam());
    stored = std::make_shared<FileUserDefaults>(file);
    launch();
    ASSERT_FALSE(coordinator->isAuthenticated());
    await(coordinator->authService()->verifyOTP("ada@example.test", "123456"));
    EXPECT_TRUE(await(coordinator->pullRemoteData()));
    EXPECT_EQ(remoteNames(rowsOf(readConfig().commands)),
              (std::vector<std::string>{"polish", "sig"}));
    EXPECT_EQ(remoteNames(backend.commandRows(user())),
              (std::vector<std::string>{"polish", "sig"}));
    EXPECT_TRUE(copiesAside(folder.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Damaged, CoordinatorSyncLedger,
                         ::testing::Values(LedgerDamage::corrupt, LedgerDamage::truncated,
                                           LedgerDamage::oversized, LedgerDamage::emptied),
                         ledgerDamageName);

// Lost over the signed-out defaults: nothing there can be an edit, and the cloud list is not
// overwritten with them.
TEST_F(CoordinatorSync, ALostLedgerOverTheDefaultsTakesTheCloudList) {
    const auto file = folder / "defaults.json";
    writeFile(file, "");
    auto stored = std::make_shared<FileUserDefaults>(file);
    adjustDependencies = [&](CoordinatorDependencies& dependencies) {
        dependencies.userDefaults = stored;
    };
    writeConfig(AppConfig::defaults());
    backend.setCommandRows(user(), rowsOf(twoCommands()));
    launch();
    await(coordinator->authService()->verifyOTP("ada@example.test", "123456"));
    EXPECT_TRUE(await(coordinator->pullRemoteData()));
    EXPECT_EQ(remoteNames(rowsOf(readConfig().commands)),
              (std::vector<std::string>{"polish", "sig"}));
    EXPECT_EQ(remoteNames(backend.commandRows(user())),
              (std::vector<std::string>{"polish", "sig"}));
}

// Lost over a profile of names alone or of a writing context alone: either is the user's and goes
// up rather than being replaced by the cloud's.
TEST_F(CoordinatorSync, ALostLedgerKeepsAnyProfileTextAndPushesIt) {
    const auto file = folder / "defaults.json";
    for (auto [names, context] : {std::pair{"Ada", ""}, std::pair{"", "Short sentences."}}) {
        coordinator.reset();
        runFor(std::chrono::milliseconds(5));
        writeFile(file, "");
        auto stored = std::make_shared<FileUserDefaults>(file);
        adjustDependencies = [&](CoordinatorDependencies& dependencies) {
            dependencies.userDefaults = stored;
        };
        auto local = AppConfig::defaults();
        local.userDisplayNames = names;
        local.userWritingContext = context;
        writeConfig(local);
        setRemoteProfile("Grace", "Formal.");
        launch();
        await(coordinator->authService()->verifyOTP("ada@example.test", "123456"));
        EXPECT_TRUE(await(coordinator->pullRemoteData()));
        EXPECT_EQ(readConfig().userDisplayNames, names);
        EXPECT_EQ(readConfig().userWritingContext, context);
        const auto row = backend.profileRow(user());
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ((*row)["user_display_names"], names);
        EXPECT_EQ((*row)["user_writing_context"], context);
    }
}

// The save of an edit made while Ada's session had expired runs late: its push is asked for only
// once Bob has signed in and his pull has failed. Nothing of Bob's fresh start goes over his cloud
// list, which the next pull brings.
TEST_F(CoordinatorSync, ALateSavesPushSendsNothingOverTheNextAccountsCloud) {
    launchSignedIn();
    await(coordinator->handleAuthExpired());
    coordinator->noteLocalCommandsEdit();
    coordinator->noteLocalProfileEdit();
    std::function<void(AppConfig&)> edit = [](AppConfig& config) {
        config.commands = twoCommands();
        config.userDisplayNames = "Ada";
    };
    await(coordinator->configService()->update(edit));

    const auto bob = backend.issueSession("bob@example.test").userId;
    backend.setCommandRows(bob, rowsOf({Command::make("bobs", "Bob's own", true)}));
    backend.setProfileRow(bob, Json{{"user_display_names", "Bob"}, {"user_writing_context", ""}});
    await(coordinator->authService()->verifyOTP("bob@example.test", "123456"));
    for (auto endpoint : {Endpoint::commandsGet, Endpoint::profileGet})
        backend.answerNext(endpoint, FakeAnswer::json(500, Json{{"message", "down"}}));
    EXPECT_FALSE(await(coordinator->pullRemoteData()));
    EXPECT_TRUE(await(coordinator->pushLocalCommands()));
    EXPECT_TRUE(await(coordinator->pushLocalProfile()));
    EXPECT_EQ(remoteNames(backend.commandRows(bob)), std::vector<std::string>{"bobs"});
    EXPECT_EQ((*backend.profileRow(bob))["user_display_names"], "Bob");

    EXPECT_TRUE(await(coordinator->pullRemoteData()));
    EXPECT_EQ(remoteNames(rowsOf(readConfig().commands)), std::vector<std::string>{"bobs"});
    // An edit of Bob's own still goes up.
    coordinator->noteLocalCommandsEdit();
    await(coordinator->configService()->update(edit));
    EXPECT_TRUE(await(coordinator->pushLocalCommands()));
    EXPECT_EQ(remoteNames(backend.commandRows(bob)), (std::vector<std::string>{"polish", "sig"}));
}
