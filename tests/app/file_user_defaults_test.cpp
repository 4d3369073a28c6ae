#include "base/json.hpp"
#include "base/log.hpp"
#include "platform/linux/file_user_defaults.hpp"
#include "temp_folder.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace pennial;
using pennial::testing::TempFolder;

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

} // namespace

TEST(FileUserDefaults, FlagsSurviveARestartAndTheFileIsSorted) {
    TempFolder folder;
    auto file = folder / "com.pennial.macos/defaults.json";
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

TEST(FileUserDefaults, AnUnreadableFileIsKeptAsideBeforeTheFirstWrite) {
    TempFolder folder;
    auto file = folder / "defaults.json";
    writeFile(file, "{\"hasSeenWelcomeOnboarding\": tru");
    LogCapture log;
    FileUserDefaults defaults(file);
    EXPECT_FALSE(defaults.boolForKey("hasSeenWelcomeOnboarding"));
    EXPECT_EQ(log.matching("[UserDefaults]").size(), 1u);

    defaults.setBool("hasSeenVideoIntro", true);
    int kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        auto name = entry.path().filename().string();
        if (name.starts_with("defaults.json.corrupt-")) {
            ++kept;
            EXPECT_EQ(readFile(entry.path()), "{\"hasSeenWelcomeOnboarding\": tru");
        }
    }
    EXPECT_EQ(kept, 1);
    EXPECT_TRUE(FileUserDefaults(file).boolForKey("hasSeenVideoIntro"));
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
