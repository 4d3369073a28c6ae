#include "base/application_id.hpp"
#include "installation_fixture.hpp"
#include "platform/linux/install/user_install_prompt.hpp"
#include "platform/sim/sim_user_defaults.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace pennial;
using namespace pennial::testing;
namespace fs = std::filesystem;

namespace {

struct UserInstallPromptTest : ::testing::Test {
    UserInstallPromptTest() {
        fs::create_directories(downloaded.parent_path());
        std::ofstream(downloaded) << "#!/bin/sh\n";
        fs::permissions(downloaded, fs::perms::owner_all);
    }

    UserInstallPrompt prompt(fs::path program, bool answerInstall) {
        return prompt(installation, std::move(program), answerInstall);
    }
    UserInstallPrompt prompt(const UserInstallation& where, fs::path program, bool answerInstall) {
        UserInstallPrompt::Hooks hooks;
        hooks.ask = [this, answerInstall] {
            ++asked;
            return answerInstall;
        };
        hooks.showError = [this](const std::string& body) { errors.push_back(body); };
        hooks.relaunch = [this](const fs::path& program) { relaunched.push_back(program); };
        return UserInstallPrompt(defaults, where, std::move(program), "<svg/>", hooks);
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

// The swap of a first install: what lies at the installation's place is replaced only when it is
// an installation of ours (or an empty folder); anything else of the user's stays as it is.
TEST_F(UserInstallPromptTest, OnlyAnOlderCopyOfOursIsReplaced) {
    const auto elsewhere = home / "elsewhere";
    struct Case {
        std::string name;
        std::function<void()> setUp;
        bool installs;
    };
    const std::vector<Case> cases = {
        {"an empty folder", [&] { fs::create_directories(installation.directory()); }, true},
        {"the user's file", [&] { writeFile(installation.directory(), "my notes"); }, false},
        {"the user's folder", [&] { writeFile(installation.directory() / "a/b.txt", "b"); }, false},
        {"a folder whose pennial is a folder",
         [&] { fs::create_directories(installation.program()); }, false},
        {"a link to a copy elsewhere",
         [&] {
             writeProgram(elsewhere / "pennial", "#!/bin/sh\n");
             fs::create_directories(installation.directory().parent_path());
             fs::create_directory_symlink(elsewhere, installation.directory());
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(home / ".local");
        fs::remove_all(elsewhere);
        errors.clear();
        relaunched.clear();
        defaults = std::make_shared<SimUserDefaults>();
        c.setUp();
        const auto before = treeAt(installation.directory());
        const auto elsewhereBefore = treeAt(elsewhere);
        prompt(downloaded, true).promptIfNeeded();
        EXPECT_EQ(treeAt(elsewhere), elsewhereBefore);
        if (c.installs) {
            EXPECT_EQ(readFile(installation.program()), readFile(downloaded));
            continue;
        }
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(
            errors[0].find(installation.directory().string() + " is not a Pennial installation"),
            std::string::npos)
            << errors[0];
        EXPECT_EQ(treeAt(installation.directory()), before);
        EXPECT_TRUE(relaunched.empty());
        EXPECT_FALSE(fs::exists(installation.desktopEntry()));
    }
}

namespace {

// The program a desktop entry's Exec key starts, read as the desktop entry format says: the
// string value's escapes first, then the quoting of arguments; empty when it is not one quoted
// argument.
std::string programOfExec(const std::string& entry) {
    const auto start = entry.find("\nExec=");
    if (start == std::string::npos)
        return {};
    const auto end = entry.find('\n', start + 1);
    const auto value = entry.substr(start + 6, end - start - 6);
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            unescaped += value[i];
            continue;
        }
        const char next = value[++i];
        unescaped += next == 'n'   ? '\n'
                     : next == 't' ? '\t'
                     : next == 'r' ? '\r'
                     : next == 's' ? ' '
                                   : next;
    }
    if (unescaped.size() < 2 || unescaped.front() != '"' || unescaped.back() != '"')
        return {};
    std::string argument;
    for (std::size_t i = 1; i + 1 < unescaped.size(); ++i) {
        char c = unescaped[i];
        if (c == '\\') {
            c = unescaped[++i];
            if (c != '"' && c != '`' && c != '$' && c != '\\')
                return {};
        } else if (c == '"' || c == '`' || c == '$') {
            return {}; // reserved inside quotes unless escaped
        } else if (c == '%') {
            if (unescaped[++i] != '%')
                return {};
        }
        argument += c;
    }
    return argument;
}

} // namespace

// The desktop entry: its Exec key names the installed program whatever characters the home
// holds, and the entry passes the format's validator; a path no entry can name installs nothing.
TEST_F(UserInstallPromptTest, TheDesktopEntryNamesTheProgramWhateverTheHomeHolds) {
    const bool validator = std::system("command -v desktop-file-validate >/dev/null") == 0;
    for (const std::string name : {"with space", "back\\slash", "two\\\\back", "new\nline",
                                   "tab\there", "dollar$HOME", "quote\"d", "back`tick", "per%cent",
                                   "semi;colon=", "ünïcödé", "all \\ \n $ \" ` % ' \r"}) {
        SCOPED_TRACE(name);
        errors.clear();
        defaults = std::make_shared<SimUserDefaults>();
        const UserInstallation odd{home / name};
        prompt(odd, downloaded, true).promptIfNeeded();
        ASSERT_TRUE(errors.empty()) << errors.front();
        const auto entry = readFile(odd.desktopEntry());
        EXPECT_EQ(programOfExec(entry), odd.program().string()) << entry;
        // Validated at a plain path: the shell would read the odd one.
        writeFile(home / "entry.desktop", entry);
        if (validator)
            EXPECT_EQ(
                std::system(("desktop-file-validate " + (home / "entry.desktop").string()).c_str()),
                0)
                << entry;
    }
    errors.clear();
    defaults = std::make_shared<SimUserDefaults>();
    const UserInstallation unwritable{home / "bell\a"};
    prompt(unwritable, downloaded, true).promptIfNeeded();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("control characters"), std::string::npos) << errors[0];
    EXPECT_FALSE(fs::exists(unwritable.directory()));
}

// The updater's choice: where the program runs from is compared once links are resolved, so a
// home reached through a link keeps the signed feed's updater.
TEST_F(UserInstallPromptTest, ProgramsAreLocatedOnceLinksAreResolved) {
    writeProgram(installation.program(), "#!/bin/sh\n");
    fs::create_directory_symlink(home.path(), home / "linked-home");
    fs::create_directory_symlink(installation.directory(), home / "linked-opt");
    const UserInstallation throughLink{home / "linked-home"};
    const auto real = fs::canonical(installation.program());
    struct Case {
        fs::path program;
        const UserInstallation* where;
        ProgramLocation location;
    };
    const std::vector<Case> cases = {
        {real, &throughLink, ProgramLocation::userInstallation},
        {throughLink.program(), &installation, ProgramLocation::userInstallation},
        {home / "linked-opt/pennial", &throughLink, ProgramLocation::userInstallation},
        {home / "linked-home/Downloads/pennial", &throughLink, ProgramLocation::elsewhere},
        {"", &throughLink, ProgramLocation::elsewhere},
    };
    for (const auto& c : cases)
        EXPECT_EQ(locateProgram(c.program, *c.where), c.location) << c.program;
    // Nor is the installed copy, started through the link, offered to be installed again.
    prompt(throughLink, real, true).promptIfNeeded();
    EXPECT_EQ(asked, 0);
}

// An installation made before the program's present id: its entry and icon take the new names
// once, the entry naming the new icon; an entry already under the new name is left alone.
TEST_F(UserInstallPromptTest, AnEarlierBuildsEntryAndIconTakeThePresentId) {
    prompt(downloaded, true).promptIfNeeded();
    ASSERT_TRUE(errors.empty()) << errors.front();
    const auto entries = installation.desktopEntry().parent_path();
    const auto icons = installation.icon().parent_path();
    const auto earlierEntry = entries / (std::string(legacyApplicationId) + ".desktop");
    const auto earlierIcon = icons / (std::string(legacyApplicationId) + ".svg");
    const auto entry = readFile(installation.desktopEntry());
    fs::rename(installation.desktopEntry(), earlierEntry);
    fs::rename(installation.icon(), earlierIcon);

    EXPECT_TRUE(installation.renameLegacyEntry());
    EXPECT_EQ(treeAt(entries),
              (std::map<std::string, std::string>{
                  {".", "folder"}, {installation.desktopEntry().filename(), "file " + entry}}));
    EXPECT_EQ(treeAt(icons),
              (std::map<std::string, std::string>{
                  {".", "folder"}, {installation.icon().filename(), "file <svg/>"}}));
    EXPECT_NE(entry.find("Icon=" + std::string(applicationId) + "\n"), std::string::npos);

    EXPECT_FALSE(installation.renameLegacyEntry()) << "once";
    writeFile(earlierEntry, "the user's own");
    EXPECT_FALSE(installation.renameLegacyEntry());
    EXPECT_EQ(readFile(earlierEntry), "the user's own");
}
