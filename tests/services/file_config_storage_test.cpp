#include "base/log.hpp"
#include "run_awaitable.hpp"
#include "services/config_error.hpp"
#include "services/file_config_storage.hpp"
#include "temporary_folder.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
}

// A folder, a FIFO (whose read would block start-up) and a file beyond 16 MiB are refused as
// quickly as a broken document, and each is kept aside before a save replaces it.
TEST_F(FileConfigStorageTest, AnythingButASmallRegularFileIsRefusedAndKeptAside) {
    auto path = folder / "config.json";
    auto makeFolder = [&] { std::filesystem::create_directory(path); };
    auto makeFifo = [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); };
    auto makeHuge = [&] {
        writeText(path, "{\"pad\":\"" + std::string(16 * 1024 * 1024, ' ') + "\"}");
    };
    for (const auto& make : {std::function<void()>(makeFolder), std::function<void()>(makeFifo),
                             std::function<void()>(makeHuge)}) {
        std::filesystem::remove_all(path);
        make();
        EXPECT_EQ(failureOf([&] { storage.loadNow(); }).kind(), ConfigError::Kind::invalidFormat);
    }
    storage.saveNow(sample()); // the huge file goes aside, by a link that copies nothing
    EXPECT_EQ(storage.loadNow(), sample());
    auto names = folder.names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(std::filesystem::file_size(folder / names[1]), 16u * 1024 * 1024 + 10);

    std::filesystem::remove_all(path);
    makeFifo();
    storage.saveNow(sample());
    EXPECT_EQ(storage.loadNow(), sample());
    EXPECT_EQ(folder.names().size(), 3u);
}

TEST_F(FileConfigStorageTest, ASavedFileStaysReadableAndWritableByItsOwner) {
    storage.saveNow(sample());
    ::chmod((folder / "config.json").c_str(), 0);
    storage.saveNow(sample());
    struct stat info {};
    ::stat((folder / "config.json").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(FileConfigStorageTest, TemporariesOfSavesThatNeverFinishedAreRemovedAtStart) {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0); // a process id that is surely gone
    auto dead = ".config.json.tmp-" + std::to_string(child) + "-a1b2c3";
    auto alive = ".config.json.tmp-" + std::to_string(::getpid()) + "-d4e5f6";
    for (const auto& name : {dead, alive, std::string(".config.json.Ab12Cd"),
                             std::string(".config.json.Ef34Gh"), std::string("notes.txt")})
        writeText(folder / name, "{}");
    auto longAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(folder / ".config.json.Ab12Cd", longAgo);

    FileConfigStorage started{folder / "config.json"};
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{".config.json.Ef34Gh", alive, "notes.txt"}));
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

    // Broken again by another hand after this storage wrote it: kept aside once more.
    writeText(folder / "config.json", "{ broken again");
    storage.saveNow(sample());
    names = folder.names();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(readText(folder / names[2]), "{ broken again");
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
    EXPECT_EQ(placed.fileURL(), folder / "pennial" / "config.json");
    struct stat info {};
    ASSERT_EQ(::stat((folder / "pennial").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "private to the user";

    ::setenv("XDG_CONFIG_HOME", "relative/path", 1); // not absolute: ignored, as the rule says
    EXPECT_NE(FileConfigStorage::defaultFileURL().string().find("/.config/pennial/"),
              std::string::npos);
    if (saved)
        ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
