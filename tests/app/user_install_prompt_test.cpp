#include "platform/linux/install/user_install_prompt.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "temp_folder.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace pennial;
using pennial::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

struct UserInstallPromptTest : ::testing::Test {
    UserInstallPromptTest() {
        fs::create_directories(downloaded.parent_path());
        std::ofstream(downloaded) << "#!/bin/sh\n";
        fs::permissions(downloaded, fs::perms::owner_all);
    }

    UserInstallPrompt prompt(fs::path program, bool answerInstall) {
        UserInstallPrompt::Hooks hooks;
        hooks.ask = [this, answerInstall] {
            ++asked;
            return answerInstall;
        };
        hooks.showError = [this](const std::string& body) { errors.push_back(body); };
        hooks.relaunch = [this](const fs::path& program) { relaunched.push_back(program); };
        return UserInstallPrompt(defaults, installation, std::move(program), "<svg/>", hooks);
    }
    bool dismissed() const { return defaults->boolForKey(UserInstallPrompt::dismissedKey); }

    TempFolder home;
    UserInstallation installation{home.path()};
    fs::path downloaded = home / "Downloads/pennial-0.5.35/pennial";
    std::shared_ptr<SimUserDefaults> defaults = std::make_shared<SimUserDefaults>();
    int asked = 0;
    std::vector<std::string> errors;
    std::vector<fs::path> relaunched;
};

} // namespace

TEST_F(UserInstallPromptTest, InstalledProgramsAreNeverAsked) {
    // The last: this test program, in the build tree.
    for (const fs::path& program :
         {fs::path("/usr/bin/pennial"), installation.program(), fs::path(), runningProgram()})
        prompt(program, true).promptIfNeeded();
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(dismissed()) << "the flag is only written once the user has answered";
}

TEST_F(UserInstallPromptTest, NotNowTouchesNothingAndIsNotAskedAgain) {
    prompt(downloaded, false).promptIfNeeded();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(dismissed());
    EXPECT_FALSE(fs::exists(installation.directory()));
    prompt(downloaded, true).promptIfNeeded();
    EXPECT_EQ(asked, 1);
}

TEST_F(UserInstallPromptTest, InstallPutsTheProgramItsEntryAndIconInTheHomeAndRelaunchesIt) {
    fs::create_directories(installation.directory());
    std::ofstream(installation.program()) << "an older copy";
    prompt(downloaded, true).promptIfNeeded();
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(relaunched, std::vector<fs::path>{installation.program()});
    EXPECT_EQ(fs::file_size(installation.program()), fs::file_size(downloaded));
    EXPECT_EQ(::access(installation.program().c_str(), X_OK), 0);
    std::ifstream entry(installation.desktopEntry());
    std::string text((std::istreambuf_iterator<char>(entry)), {});
    EXPECT_NE(text.find("Exec=\"" + installation.program().string() + "\""), std::string::npos);
    EXPECT_TRUE(fs::exists(installation.icon()));
    EXPECT_TRUE(fs::exists(downloaded)) << "the download stays where it was";
    EXPECT_TRUE(dismissed());
}

TEST_F(UserInstallPromptTest, AFailureIsShownWithItsReasonAndNothingIsRelaunched) {
    // A file where the folder must go (a read-only folder would not stop root).
    fs::create_directories(home / ".local");
    std::ofstream(home / ".local/opt") << "";
    prompt(downloaded, true).promptIfNeeded();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(UserInstallPrompt::errorBodyPrefix)) << errors[0];
    EXPECT_GT(errors[0].size(), std::string(UserInstallPrompt::errorBodyPrefix).size());
    EXPECT_TRUE(relaunched.empty());
    EXPECT_TRUE(dismissed());
}
