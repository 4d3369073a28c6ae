#include "base/json.hpp"
#include "base/log.hpp"
#include "platform/linux/storage/file_user_defaults.hpp"
#include "temp_folder.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

using namespace pennial;
using pennial::testing::readFile;
using pennial::testing::TempFolder;
using pennial::testing::writeFile;

TEST(FileUserDefaults, FlagsSurviveARestartAndTheFileIsSorted) {
    TempFolder folder;
    auto file = folder / "pennial/defaults.json";
    {
        FileUserDefaults defaults(file);
        EXPECT_FALSE(defaults.boolForKey("hasSeenVideoIntro")) << "absent reads as false";
        EXPECT_FALSE(std::filesystem::exists(file)) << "reading writes nothing";
        defaults.setBool("hasSeenWelcomeOnboarding", true);
        defaults.setBool("hasSeenVideoIntro", true);
    }
    FileUserDefaults reopened(file);
    EXPECT_TRUE(reopened.boolForKey("hasSeenWelcomeOnboarding"));
    EXPECT_TRUE(reopened.boolForKey("hasSeenVideoIntro"));
    EXPECT_EQ(readFile(file),
              "{\n  \"hasSeenVideoIntro\": true,\n  \"hasSeenWelcomeOnboarding\": true\n}\n");
}

TEST(FileUserDefaults, ForeignValuesAreKeptAndNeverReadAsTrue) {
    TempFolder folder;
    auto file = folder / "defaults.json";
    writeFile(file, R"({"hasSeenVideoIntro":"yes","windowOrigin":[1,2]})");
    FileUserDefaults defaults(file);
    EXPECT_FALSE(defaults.boolForKey("hasSeenVideoIntro"));
    defaults.setBool("hasSeenWelcomeOnboarding", true);
    auto saved = json::parse(readFile(file));
    EXPECT_EQ(saved["windowOrigin"], Json::parse("[1,2]"));
    EXPECT_EQ(saved["hasSeenVideoIntro"], "yes");
}

// A number out of range used to end every launch; a FIFO blocked it for good.
TEST(FileUserDefaults, AnUnreadableFileIsKeptAsideBeforeTheFirstWrite) {
    const std::string deep = // printing it back would overflow the stack
        "{\"x\":" + std::string(100'000, '[') + std::string(100'000, ']') + "}";
    for (std::string broken :
         {std::string("{\"hasSeenWelcomeOnboarding\": tru"),
          std::string("{\"hasSeenWelcomeOnboarding\":true,\"x\":1e999}"), deep, std::string()}) {
        TempFolder folder;
        auto file = folder / "defaults.json";
        if (broken.empty())
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        else
            writeFile(file, broken);
        LogCapture log;
        FileUserDefaults defaults(file);
        auto label = broken.substr(0, 60);
        EXPECT_FALSE(defaults.boolForKey("hasSeenWelcomeOnboarding")) << label;
        EXPECT_EQ(log.matching("[UserDefaults]").size(), 1u) << label;

        defaults.setBool("hasSeenVideoIntro", true);
        int kept = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            auto name = entry.path().filename().string();
            if (name.starts_with("defaults.json.corrupt-")) {
                ++kept;
                if (!broken.empty())
                    EXPECT_EQ(readFile(entry.path()), broken);
            }
        }
        EXPECT_EQ(kept, 1) << label;
        EXPECT_TRUE(FileUserDefaults(file).boolForKey("hasSeenVideoIntro")) << label;
    }
}

TEST(FileUserDefaults, AFailedWriteKeepsTheValueForThisRun) {
    TempFolder folder;
    auto notAFolder = folder / "plain-file";
    writeFile(notAFolder, "");
    LogCapture log;
    FileUserDefaults defaults(notAFolder / "defaults.json");
    defaults.setBool("hasSeenWelcomeOnboarding", true);
    EXPECT_TRUE(defaults.boolForKey("hasSeenWelcomeOnboarding"));
    EXPECT_EQ(log.matching("⚠️ [UserDefaults] Failed to save settings: ").size(), 1u);
}
