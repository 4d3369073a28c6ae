#include "base/log.hpp"
#include "run_awaitable.hpp"
#include "services/config_error.hpp"
#include "services/file_config_storage.hpp"
#include "temporary_folder.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pennial;
using namespace pennial::testing;

namespace {

class FileConfigStorageTest : public ::testing::Test {
protected:
    ConfigError failureOf(const std::function<void()>& operation) {
        try {
            operation();
        } catch (const ConfigError& error) {
            return error;
        }
        ADD_FAILURE() << "no ConfigError";
        return ConfigError::fileNotFound();
    }

    TemporaryFolder folder;
    FileConfigStorage storage{folder / "config.json"};
};

const AppConfig& sample() {
    static const AppConfig config = [] {
        auto made = AppConfig::defaults();
        made.userDisplayNames = "Ann, Annie";
        made.commands.push_back(Command::make("todo", "List tasks", true, {{{"source", "me"}}}));
        return made;
    }();
    return config;
}

} // namespace

TEST_F(FileConfigStorageTest, NoFileIsItsOwnOutcomeAndSavingWritesTheWholeConfiguration) {
    EXPECT_EQ(failureOf([&] { storage.loadNow(); }), ConfigError::fileNotFound());
    EXPECT_TRUE(folder.names().empty());

    runAwaitable(storage.save(sample()));
    EXPECT_EQ(runAwaitable(storage.load()), sample());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"config.json"}) << "no temporary left";
    auto text = readText(folder / "config.json");
    EXPECT_EQ(text.rfind("{\n  \"apiBaseURL\": ", 0), 0u) << text;
}

TEST_F(FileConfigStorageTest, BrokenDocumentsAreInvalidFormatAndUnreadableFilesReadErrors) {
    for (const char* content : {"", "{", "[]", R"({"triggerPattern":";;"})", "\xff\xfe"}) {
        writeText(folder / "config.json", content);
        EXPECT_EQ(failureOf([&] { storage.loadNow(); }).kind(), ConfigError::Kind::invalidFormat)
            << content;
    }
    std::filesystem::remove(folder / "config.json");
    std::filesystem::create_directory(folder / "config.json");
    EXPECT_EQ(failureOf([&] { storage.loadNow(); }).kind(), ConfigError::Kind::readError);
}

TEST_F(FileConfigStorageTest, BlankTriggerPatternsAreRefusedAndTheFileIsLeftAlone) {
    storage.saveNow(sample());
    auto before = readText(folder / "config.json");
    for (const char* pattern : {"", " ", "\t\n", "\u00a0"}) {
        auto config = sample();
        config.triggerPattern = pattern;
        auto error = failureOf([&] { storage.saveNow(config); });
        EXPECT_EQ(error.kind(), ConfigError::Kind::validationError) << pattern;
        EXPECT_EQ(readText(folder / "config.json"), before);
    }
    auto empty = sample();
    empty.triggerPattern = "";
    EXPECT_EQ(failureOf([&] { storage.saveNow(empty); }),
              ConfigError::validationError("Trigger pattern cannot be empty"));

    auto spaced = sample();
    spaced.triggerPattern = " ;";
    storage.saveNow(spaced);
    EXPECT_EQ(storage.loadNow().triggerPattern, " ;");
}

TEST_F(FileConfigStorageTest, AnUnreadableFileIsKeptBesideTheNewOneBeforeItIsReplaced) {
    const std::string corrupt = R"({"triggerPattern": ";;", "commands": [ oops)";
    writeText(folder / "config.json", corrupt);
    LogCapture log;
    storage.saveNow(sample());

    auto names = folder.names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "config.json");
    EXPECT_EQ(names[1].rfind("config.json.corrupt-", 0), 0u) << names[1];
    EXPECT_EQ(readText(folder / names[1]), corrupt) << "kept byte for byte";
    EXPECT_EQ(storage.loadNow(), sample());
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{
                  "⚠️ [FileConfigStorage] Kept the unreadable configuration as " + names[1]});

    storage.saveNow(sample()); // a readable file is simply replaced
    EXPECT_EQ(folder.names().size(), 2u);
}

TEST_F(FileConfigStorageTest, TextCutInsideACharacterIsWrittenReplaced) {
    auto config = sample();
    config.userWritingContext = "caf\xc3"; // a two-byte character cut in half
    storage.saveNow(config);
    EXPECT_EQ(storage.loadNow().userWritingContext, "caf\xef\xbf\xbd");
}

TEST_F(FileConfigStorageTest, WritesThroughASymbolicLinkAndKeepsTheFilesMode) {
    std::filesystem::create_directory(folder / "dotfiles");
    storage.saveNow(sample());
    std::filesystem::rename(folder / "config.json", folder / "dotfiles" / "config.json");
    ::chmod((folder / "dotfiles" / "config.json").c_str(), 0640);
    std::filesystem::create_symlink(folder / "dotfiles" / "config.json", folder / "config.json");

    auto changed = sample();
    changed.userDisplayNames = "Bo";
    storage.saveNow(changed);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "config.json"));
    EXPECT_EQ(storage.loadNow().userDisplayNames, "Bo");
    struct stat info {};
    ::stat((folder / "dotfiles" / "config.json").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(FileConfigStorageTest, TheDefaultPlaceFollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    std::string previous = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    FileConfigStorage placed;
    EXPECT_EQ(placed.fileURL(), folder / "com.pennial.macos" / "config.json");
    EXPECT_TRUE(std::filesystem::is_directory(folder / "com.pennial.macos"));

    ::setenv("XDG_CONFIG_HOME", "relative/path", 1); // not absolute: ignored, as the rule says
    EXPECT_NE(FileConfigStorage::defaultFileURL().string().find("/.config/com.pennial.macos/"),
              std::string::npos);
    if (saved)
        ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
