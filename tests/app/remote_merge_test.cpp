#include "app/remote_merge.hpp"

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

} // namespace

TEST(RemoteMerge, RemoteDataEqualToLocalChangesNothing) {
    auto local = localConfig();
    local.commands = twoCommands();
    auto merge = mergeRemoteData(local, ProfilePull::success({"Ada", "Short sentences."}),
                                 CommandsPull::success(local.commands), false);
    EXPECT_FALSE(merge.changed());
    EXPECT_EQ(merge.config, local);
}

TEST(RemoteMerge, RemoteWinsWhereItHasDataAndFailuresCountAsNone) {
    auto local = localConfig();
    auto merge = mergeRemoteData(local, ProfilePull::noRemoteData(),
                                 CommandsPull::success(twoCommands()), false);
    EXPECT_FALSE(merge.profileChanged);
    EXPECT_TRUE(merge.commandsChanged);
    EXPECT_EQ(merge.config.commands, twoCommands());
    EXPECT_EQ(merge.config.userDisplayNames, "Ada");

    merge = mergeRemoteData(local, ProfilePull::success({"", "Formal."}), CommandsPull::failure(),
                            false);
    EXPECT_TRUE(merge.profileChanged);
    EXPECT_FALSE(merge.commandsChanged);
    EXPECT_EQ(merge.config.userDisplayNames, "") << "a remote empty text replaces the local one";
    EXPECT_EQ(merge.config.userWritingContext, "Formal.");
    EXPECT_EQ(merge.config.commands, local.commands);
    EXPECT_EQ(merge.config.triggerPattern, local.triggerPattern);
}

TEST(RemoteMerge, AnEmptyRemoteListKeepsTheDefaultsWhateverTheirIds) {
    auto local = localConfig();
    local.commands = defaultsFromAnotherRun(); // saved in an earlier run
    auto merge =
        mergeRemoteData(local, ProfilePull::noRemoteData(), CommandsPull::success({}), false);
    EXPECT_FALSE(merge.commandsChanged);
    EXPECT_EQ(merge.config.commands.size(), 8u);

    local.commands.pop_back(); // the user removed one: an empty remote list empties it
    merge = mergeRemoteData(local, ProfilePull::noRemoteData(), CommandsPull::success({}), false);
    EXPECT_TRUE(merge.commandsChanged);
    EXPECT_TRUE(merge.config.commands.empty());
}

TEST(RemoteMerge, UnpushedLocalCommandsAreNotReplaced) {
    auto local = localConfig();
    local.commands = twoCommands();
    auto merge = mergeRemoteData(local, ProfilePull::success({"Grace", ""}),
                                 CommandsPull::success(AppConfig::defaultCommands()), true);
    EXPECT_FALSE(merge.commandsChanged);
    EXPECT_EQ(merge.config.commands, twoCommands());
    EXPECT_TRUE(merge.profileChanged) << "the profile still follows the remote one";
}

TEST(RemoteMerge, TheRemoteListIsTakenWholeAndInItsOrder) {
    auto local = localConfig();
    local.commands = twoCommands();
    std::vector<Command> remote{local.commands[1], Command::make("tldr", "Sum up", true)};
    auto merge =
        mergeRemoteData(local, ProfilePull::noRemoteData(), CommandsPull::success(remote), false);
    EXPECT_EQ(merge.config.commands, remote) << "local commands missing remotely are dropped";
}
