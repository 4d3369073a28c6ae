// Folders an earlier build named after another application id, in a home of their own: moved once
// at start-up to the program's names, where the settings, the configuration and the crash reports
// are then read; never over a folder that holds something.

#include "base/application_id.hpp"
#include "base/log.hpp"
#include "platform/linux/crash/local_crash_reporter.hpp"
#include "platform/linux/storage/file_user_defaults.hpp"
#include "platform/linux/storage/legacy_folders.hpp"
#include "services/file_config_storage.hpp"
#include "temp_folder.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <optional>

using namespace pennial;
using pennial::testing::readFile;
using pennial::testing::TempFolder;
using pennial::testing::writeFile;
namespace fs = std::filesystem;

namespace {

// HOME set to a folder, and the XDG base directories left to their defaults under it.
class HomeOverride {
public:
    explicit HomeOverride(const fs::path& home) {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"}) {
            const char* value = std::getenv(name);
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
            ::unsetenv(name);
        }
        ::setenv("HOME", home.c_str(), 1);
    }
    ~HomeOverride() {
        for (const auto& [name, value] : saved_)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

const std::string legacy(legacyApplicationFolderName);
const std::string current(applicationFolderName);

} // namespace

TEST(LegacyFolders, AnEarlierBuildsFilesAreMovedOnceAndReadWhereTheProgramLooks) {
    TempFolder home;
    HomeOverride scoped(home.path());
    const std::string config = R"({"triggerPattern":";;"})";
    writeFile(home / (".config/" + legacy + "/defaults.json"), R"({"hasSeenVideoIntro":true})");
    writeFile(home / (".config/" + legacy + "/config.json"), config);
    writeFile(home / (".local/state/" + legacy + "/crash-reports/report.json"), "report");
    LogCapture log;

    moveLegacyFolders();
    EXPECT_TRUE(FileUserDefaults().boolForKey("hasSeenVideoIntro"));
    EXPECT_EQ(readFile(FileConfigStorage::defaultFileURL()), config);
    EXPECT_EQ(readFile(LocalCrashReporter::defaultReportsFolder() / "report.json"), "report");
    EXPECT_FALSE(fs::exists(home / (".config/" + legacy)));
    EXPECT_FALSE(fs::exists(home / (".local/state/" + legacy)));
    EXPECT_EQ(log.matching("🔵 [Pennial] Moved ").size(), 2u) << "one line for each folder";

    log.clear();
    moveLegacyFolders();
    EXPECT_TRUE(log.lines().empty()) << "nothing is left to move at the next start";
}

TEST(LegacyFolders, NothingIsMovedOverAFolderThatHoldsSomething) {
    enum class Present { nothing, emptyFolder, files, file };
    for (auto present : {Present::nothing, Present::emptyFolder, Present::files, Present::file}) {
        TempFolder base;
        const auto from = base / legacy;
        const auto to = base / current;
        writeFile(from / "config.json", "earlier");
        if (present == Present::emptyFolder)
            fs::create_directories(to);
        if (present == Present::files)
            writeFile(to / "config.json", "present");
        if (present == Present::file)
            writeFile(to, "a file");
        LogCapture log;

        moveLegacyFolders({base.path()});
        const bool moved = present == Present::nothing || present == Present::emptyFolder;
        const auto label = static_cast<int>(present);
        EXPECT_EQ(readFile(to / "config.json"), moved                       ? "earlier"
                                                : present == Present::files ? "present"
                                                                            : "")
            << label;
        EXPECT_EQ(fs::exists(from), !moved) << label;
        if (!moved) {
            EXPECT_EQ(readFile(from / "config.json"), "earlier") << label;
            EXPECT_EQ(log.matching("is not used").size(), 1u) << label;
        }
        EXPECT_EQ(log.lines().size(), 1u) << label;
    }
}
