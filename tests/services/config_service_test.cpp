#include "base/log.hpp"
#include "base/task.hpp"
#include "run_awaitable.hpp"
#include "services/config_error.hpp"
#include "services/config_service.hpp"
#include "services/file_config_storage.hpp"
#include "temporary_folder.hpp"

#include <asio/io_context.hpp>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;

namespace {

// Storage whose every access suspends, so concurrent operations of the service interleave.
class SlowStorage : public ConfigStorage {
public:
    Awaitable<AppConfig> load() override {
        co_await sleepFor(2ms);
        if (!stored)
            throw ConfigError::fileNotFound();
        co_return *stored;
    }
    Awaitable<void> save(AppConfig config) override {
        co_await sleepFor(2ms);
        stored = std::move(config);
    }
    std::optional<AppConfig> stored;
};

class ConfigServiceTest : public ::testing::Test {
protected:
    std::optional<Command> find(const std::string& name) {
        return runAwaitable(service.getCommand(name));
    }

    TemporaryFolder folder;
    FileConfigStorage storage{folder / "config.json"};
    ConfigService service{storage};
};

} // namespace

TEST_F(ConfigServiceTest, WithoutAFileTheDefaultsAreUsedAndNothingIsWritten) {
    EXPECT_EQ(runAwaitable(service.getTriggerPattern()), ";;");
    EXPECT_TRUE(runAwaitable(service.getAllCommands()).empty());

    auto first = runAwaitable(service.loadConfiguration());
    EXPECT_EQ(first, AppConfig::defaults());
    EXPECT_EQ(runAwaitable(service.loadConfiguration()), first);
    EXPECT_EQ(runAwaitable(service.getAllCommands()).size(), 8u);
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(ConfigServiceTest, LookUpsUseTheLastConfigurationLoadedOrSaved) {
    auto config = runAwaitable(service.loadConfiguration());
    auto second = Command::make("fix", "Another fix", true);
    config.commands.push_back(second);
    config.commands.push_back(Command::make("todo", "List tasks", true));
    config.triggerPattern = "";
    EXPECT_THROW(runAwaitable(service.saveConfiguration(config)), ConfigError);
    EXPECT_EQ(find("todo"), std::nullopt) << "a failed save leaves the cache";

    config.triggerPattern = "//";
    runAwaitable(service.saveConfiguration(config));
    EXPECT_EQ(find("todo")->content, "List tasks");
    EXPECT_EQ(find("fix")->id, AppConfig::defaultCommands()[0].id) << "the first of two";
    EXPECT_EQ(find("Fix"), std::nullopt);
    EXPECT_EQ(runAwaitable(service.getTriggerPattern()), "//");
    EXPECT_EQ(storage.loadNow(), config);
}

TEST_F(ConfigServiceTest, AnUnreadableFileFallsBackToTheDefaultsAndSurvivesTheNextUpdate) {
    const std::string corrupt = "{ not json";
    writeText(folder / "config.json", corrupt);
    LogCapture log;

    try {
        runAwaitable(service.loadConfiguration());
        ADD_FAILURE() << "the broken file was accepted";
    } catch (const ConfigError& error) {
        EXPECT_EQ(error.kind(), ConfigError::Kind::invalidFormat);
    }
    EXPECT_EQ(log.matching("[ConfigService]"),
              std::vector<std::string>{
                  "❌ [ConfigService] Could not load the configuration file (invalidFormat("
                  "malformed JSON at byte 4)); using the configuration in memory until it is "
                  "saved again"});
    EXPECT_TRUE(find("fix").has_value()) << "the defaults are in memory";
    EXPECT_EQ(readText(folder / "config.json"), corrupt);

    auto saved =
        runAwaitable(service.update([](AppConfig& config) { config.userDisplayNames = "Ann"; }));
    EXPECT_EQ(saved.commands, AppConfig::defaultCommands());
    EXPECT_EQ(storage.loadNow(), saved);
    auto names = folder.names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(readText(folder / names[1]), corrupt);
}

TEST_F(ConfigServiceTest, AFileBrokenLaterDoesNotReplaceTheConfigurationInMemory) {
    auto config = AppConfig::defaults();
    config.commands.push_back(Command::make("todo", "List tasks", true));
    storage.saveNow(config);
    runAwaitable(service.loadConfiguration());
    writeText(folder / "config.json", "[]");

    auto saved = runAwaitable(service.update([](AppConfig& c) { c.userWritingContext = "brief"; }));
    EXPECT_EQ(saved.commands, config.commands);
    EXPECT_EQ(saved.userWritingContext, "brief");
}

TEST_F(ConfigServiceTest, ABlankStoredPatternLoadsAsTheDefaultAndLetsLaterSavesThrough) {
    for (const char* blank : {"", " \t"}) {
        auto stored = AppConfig::defaults();
        stored.commands = {Command::make("fix", "Fix it", true)};
        stored.triggerPattern = blank;
        writeText(folder / "config.json", json::dump(stored.toJson(), 2));
        const auto before = readText(folder / "config.json");
        LogCapture log;
        EXPECT_EQ(runAwaitable(service.loadConfiguration()).triggerPattern, ";;");
        EXPECT_EQ(
            log.matching("⚠️ [ConfigService] The configuration file has no usable trigger "
                         "pattern; using \";;\" until the next save")
                .size(),
            1u);
        EXPECT_EQ(readText(folder / "config.json"), before) << "rewritten only by a save";

        std::function<void(AppConfig&)> profile = [](AppConfig& config) {
            config.userDisplayNames = "Ada";
        };
        auto saved = runAwaitable(service.update(profile));
        EXPECT_EQ(saved.triggerPattern, ";;");
        EXPECT_EQ(storage.loadNow().commands, stored.commands);
    }
}

// Copies kept aside before a sync drops commands: the newest few, each a whole file.
TEST_F(ConfigServiceTest, CopiesKeptAsideAreWholeFilesAndOnlyTheLastFew) {
    auto config = AppConfig::defaults();
    std::function<void(AppConfig&)> dropOne = [](AppConfig& config) { config.commands.pop_back(); };
    std::function<bool(const AppConfig&, const AppConfig&)> always =
        [](const AppConfig&, const AppConfig&) { return true; };
    runAwaitable(service.saveConfiguration(config));
    for (int i = 0; i < FileConfigStorage::keptCopies + 2; ++i)
        runAwaitable(service.update(dropOne, always));
    std::vector<std::string> copies;
    for (const auto& name : folder.names())
        if (name.starts_with("config.json.before-sync-"))
            copies.push_back(name);
    ASSERT_EQ(copies.size(), std::size_t(FileConfigStorage::keptCopies));
    std::sort(copies.begin(), copies.end());
    auto newest = FileConfigStorage(folder / copies.back()).loadNow();
    EXPECT_EQ(newest.commands.size(), 8u - FileConfigStorage::keptCopies - 1)
        << "the file as it was just before the last update";
}

TEST(ConfigServiceUpdate, ConcurrentUpdatesAreAllApplied) {
    SlowStorage storage;
    ConfigService service(storage);
    asio::io_context io;
    auto addCommand = [&](std::string name) -> Awaitable<void> {
        co_await service.update([name](AppConfig& config) {
            config.commands.push_back(Command::make(name, "", true));
        });
    };
    for (int i = 0; i < 5; ++i)
        Task::spawn(io.get_executor(), addCommand("extra" + std::to_string(i)));
    io.run();

    ASSERT_TRUE(storage.stored.has_value());
    EXPECT_EQ(storage.stored->commands.size(), 8u + 5u);
    EXPECT_EQ(runAwaitable(service.getAllCommands()), storage.stored->commands);
}

// A clock that ran ahead left copies dated later than now: the copy made now still stays.
TEST_F(ConfigServiceTest, TheCopyJustMadeIsKeptWhenOthersAreDatedAhead) {
    const auto prefix = std::string("config.json.before-sync-");
    for (int i = 0; i < FileConfigStorage::keptCopies; ++i)
        writeText(folder / (prefix + "20991231-23595" + std::to_string(i)), "{}");
    auto config = AppConfig::defaults();
    runAwaitable(service.saveConfiguration(config));
    std::filesystem::permissions(folder / "config.json", std::filesystem::perms(0644));
    std::function<void(AppConfig&)> dropOne = [](AppConfig& config) { config.commands.pop_back(); };
    runAwaitable(service.update(dropOne, [](const AppConfig&, const AppConfig&) { return true; }));

    std::vector<std::string> copies, made;
    for (const auto& name : folder.names())
        if (name.starts_with(prefix)) {
            copies.push_back(name);
            if (!name.starts_with(prefix + "2099"))
                made.push_back(name);
        }
    EXPECT_EQ(copies.size(), std::size_t(FileConfigStorage::keptCopies));
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(FileConfigStorage(folder / made[0]).loadNow(), config);
    struct stat info {};
    ASSERT_EQ(::stat((folder / made[0]).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}
