#include "app/remote_merge.hpp"

#include <algorithm>

namespace pennial {

bool sameCommandsIgnoringIds(const std::vector<Command>& a, const std::vector<Command>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Command& x, const Command& y) {
                          return x.name == y.name && x.content == y.content &&
                                 x.metadata == y.metadata && x.replaceText == y.replaceText;
                      });
}

RemoteMerge mergeRemoteData(const AppConfig& local, const ProfilePull& profile,
                            const CommandsPull& commands, bool keepLocalCommands) {
    RemoteMerge merge{local};

    if (profile.kind() == ProfilePull::Kind::success) {
        const auto& remote = profile.value();
        if (remote.displayNames != local.userDisplayNames ||
            remote.writingContext != local.userWritingContext) {
            // Taken as a pair; remote empty texts replace local ones.
            merge.config.userDisplayNames = remote.displayNames;
            merge.config.userWritingContext = remote.writingContext;
            merge.profileChanged = true;
        }
    }

    if (!keepLocalCommands && commands.kind() == CommandsPull::Kind::success) {
        const auto& remote = commands.value();
        // An empty remote list means "nothing pushed yet" only for a user still on the defaults;
        // otherwise the user emptied the list elsewhere.
        const auto& candidate = !remote.empty() || !sameCommandsIgnoringIds(
                                                       local.commands, AppConfig::defaultCommands())
                                    ? remote
                                    : local.commands;
        if (candidate != local.commands) {
            merge.config.commands = candidate;
            merge.commandsChanged = true;
        }
    }
    return merge;
}

} // namespace pennial
