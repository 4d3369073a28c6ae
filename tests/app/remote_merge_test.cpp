#include "app/remote_merge.hpp"

#include <functional>
#include <gtest/gtest.h>

using namespace pennial;

namespace {

AppConfig localConfig() {
    auto config = AppConfig::defaults();
    config.userDisplayNames = "Ada";
    config.userWritingContext = "Short sentences.";
    return config;
}

std::vector<Command> twoCommands() {
    static const std::vector<Command> commands{Command::make("polish", "Polish it", true),
                                               Command::make("sig", "Best,\nAda", false)};
    return commands;
}

// The default commands as a later run has them: same content, ids of their own.
std::vector<Command> defaultsFromAnotherRun() {
    auto commands = AppConfig::defaultCommands();
    for (auto& command : commands)
        command.id = Uuid::random();
    return commands;
}

SyncBasis agreedOn(const AppConfig& config) {
    SyncBasis basis;
    basis.commandsDigest = commandsDigest(config.commands);
    basis.profileDigest = profileDigest(config.userDisplayNames, config.userWritingContext);
    return basis;
}

} // namespace

TEST(RemoteMerge, RemoteDataEqualToLocalChangesNothing) {
    auto local = localConfig();
    local.commands = twoCommands();
    auto merge = mergeRemoteData(local, ProfilePull::success({"Ada", "Short sentences."}),
                                 CommandsPull::success(local.commands), {});
    EXPECT_FALSE(merge.changed());
    EXPECT_FALSE(merge.pushCommands || merge.pushProfile);
    EXPECT_EQ(merge.config, local);
    EXPECT_EQ(merge.agreedCommands, commandsDigest(local.commands));
}

TEST(RemoteMerge, RemoteWinsWhereItHasDataAndLocalIsUnchangedSinceTheLastAgreement) {
    auto local = localConfig();
    auto merge = mergeRemoteData(local, ProfilePull::noRemoteData(),
                                 CommandsPull::success(twoCommands()), agreedOn(local));
    EXPECT_TRUE(merge.commandsChanged);
    EXPECT_TRUE(merge.dropsLocalCommands) << "the replaced file is kept aside";
    EXPECT_EQ(merge.config.commands, twoCommands());
    EXPECT_EQ(merge.config.userDisplayNames, "Ada") << "no row: the local profile stays";
    EXPECT_TRUE(merge.pushProfile) << "and goes up";

    merge = mergeRemoteData(local, ProfilePull::success({"", "Formal."}), CommandsPull::failure(),
                            agreedOn(local));
    EXPECT_TRUE(merge.profileChanged);
    EXPECT_FALSE(merge.commandsChanged);
    EXPECT_EQ(merge.config.userDisplayNames, "") << "a remote empty text replaces the local one";
    EXPECT_EQ(merge.config.userWritingContext, "Formal.");
    EXPECT_EQ(merge.config.commands, local.commands);
    EXPECT_EQ(merge.config.triggerPattern, local.triggerPattern);
}

TEST(RemoteMerge, ANullProfileColumnWasNeverSetAndKeepsTheLocalText) {
    auto local = localConfig();
    auto merge = mergeRemoteData(local, ProfilePull::success({std::nullopt, "Formal."}),
                                 CommandsPull::failure(), agreedOn(localConfig()));
    EXPECT_EQ(merge.config.userDisplayNames, "Ada");
    EXPECT_EQ(merge.config.userWritingContext, "Formal.");
    EXPECT_TRUE(merge.pushProfile);
}

TEST(RemoteMerge, AnEmptyRemoteListIsNotSetYetUnlessThisInstallationFilledIt) {
    auto local = localConfig();
    local.commands = twoCommands(); // added signed out, or in the file between runs
    auto merge = mergeRemoteData(local, ProfilePull::noRemoteData(), CommandsPull::success({}), {});
    EXPECT_FALSE(merge.commandsChanged);
    EXPECT_TRUE(merge.pushCommands);

    local.commands = defaultsFromAnotherRun();
    merge = mergeRemoteData(local, ProfilePull::noRemoteData(), CommandsPull::success({}), {});
    EXPECT_EQ(merge.config.commands.size(), 8u);

    auto basis = agreedOn(local);
    basis.pushedNonEmptyCommands = true; // then emptied on another device
    merge = mergeRemoteData(local, ProfilePull::noRemoteData(), CommandsPull::success({}), basis);
    EXPECT_TRUE(merge.commandsChanged);
    EXPECT_TRUE(merge.dropsLocalCommands);
    EXPECT_TRUE(merge.config.commands.empty());
}

TEST(RemoteMerge, LocalChangesNotYetPushedWinAndArePushed) {
    auto local = localConfig();
    local.commands = twoCommands();
    SyncBasis marked;
    marked.commandsEditedLocally = true;
    marked.profileEditedLocally = true;
    auto agreedBefore = agreedOn(AppConfig::defaults()); // the file was edited since
    for (const auto& basis : {marked, agreedBefore}) {
        auto merge = mergeRemoteData(local, ProfilePull::success({"Grace", ""}),
                                     CommandsPull::success(AppConfig::defaultCommands()), basis);
        EXPECT_FALSE(merge.changed());
        EXPECT_EQ(merge.config, local);
        EXPECT_TRUE(merge.pushCommands && merge.pushProfile);
        EXPECT_TRUE(holdsUnsyncedChanges(local, basis));
    }
    EXPECT_FALSE(holdsUnsyncedChanges(local, agreedOn(local)));
}

// A command edited in any one of its parts is another command: it goes up from here, and one edited
// elsewhere comes down with the replaced one kept aside.
TEST(RemoteMerge, ACommandEditedInAnyPartIsAChange) {
    const std::vector<std::function<void(Command&)>> edits{
        [](Command& c) { c.name = "polish2"; }, [](Command& c) { c.content = "Polish it, gently"; },
        [](Command& c) { c.replaceText = false; },
        [](Command& c) {
            c.metadata = std::map<std::string, std::string>{{"icon", "pen"}};
        }};
    for (std::size_t i = 0; i < edits.size(); ++i) {
        auto edited = twoCommands();
        edits[i](edited[0]);
        auto local = localConfig();
        local.commands = edited;
        SyncBasis marked;
        marked.commandsEditedLocally = true;
        auto merge = mergeRemoteData(local, ProfilePull::noRemoteData(),
                                     CommandsPull::success(twoCommands()), marked);
        EXPECT_TRUE(merge.pushCommands) << "edit " << i;
        EXPECT_EQ(merge.config.commands, edited) << "edit " << i;

        local.commands = twoCommands();
        merge = mergeRemoteData(local, ProfilePull::noRemoteData(), CommandsPull::success(edited),
                                agreedOn(local));
        EXPECT_EQ(merge.config.commands, edited) << "edit " << i;
        EXPECT_TRUE(merge.dropsLocalCommands) << "edit " << i;
    }
}

TEST(RemoteMerge, TheRemoteListIsTakenWholeAndInItsOrder) {
    auto local = localConfig();
    local.commands = twoCommands();
    std::vector<Command> remote{local.commands[1], Command::make("tldr", "Sum up", true)};
    auto merge = mergeRemoteData(local, ProfilePull::noRemoteData(), CommandsPull::success(remote),
                                 agreedOn(local));
    EXPECT_EQ(merge.config.commands, remote) << "local commands missing remotely are dropped";
}
