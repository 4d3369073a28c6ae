#include "app/remote_merge.hpp"

#include <algorithm>
#include <cstdint>
#include <fmt/format.h>

namespace pennial {
namespace {

bool sameCommandIgnoringId(const Command& x, const Command& y) {
    return x.name == y.name && x.content == y.content && x.metadata == y.metadata &&
           x.replaceText == y.replaceText;
}

// FNV-1a: the same text gives the same digest in every run.
std::string digestOf(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : text) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return fmt::format("{:016x}:{}", hash, text.size());
}

bool dropsAny(const std::vector<Command>& local, const std::vector<Command>& replacement) {
    return std::any_of(local.begin(), local.end(), [&](const Command& command) {
        return std::none_of(replacement.begin(), replacement.end(), [&](const Command& kept) {
            return sameCommandIgnoringId(command, kept);
        });
    });
}

void mergeCommands(const std::vector<Command>& remote, const SyncBasis& basis, RemoteMerge& merge) {
    const auto& local = merge.config.commands;
    const bool localChanged =
        basis.commandsEditedLocally ||
        (basis.commandsDigest && *basis.commandsDigest != commandsDigest(local));
    // An empty list that this installation never filled was simply not set yet.
    const bool remoteSet = !remote.empty() || basis.pushedNonEmptyCommands;
    if (localChanged || !remoteSet) {
        if (sameCommandsIgnoringIds(local, remote))
            merge.agreedCommands = commandsDigest(local);
        else
            merge.pushCommands = true;
        return;
    }
    merge.agreedCommands = commandsDigest(remote);
    if (remote == local)
        return;
    merge.dropsLocalCommands = dropsAny(local, remote);
    merge.config.commands = remote;
    merge.commandsChanged = true;
}

void mergeProfile(const std::optional<RemoteProfile>& remote, const SyncBasis& basis,
                  RemoteMerge& merge) {
    auto& names = merge.config.userDisplayNames;
    auto& context = merge.config.userWritingContext;
    const std::optional<std::string> remoteNames = remote ? remote->displayNames : std::nullopt;
    const std::optional<std::string> remoteContext = remote ? remote->writingContext : std::nullopt;
    const bool localChanged =
        basis.profileEditedLocally ||
        (basis.profileDigest && *basis.profileDigest != profileDigest(names, context));
    if (!localChanged) {
        // A column never set keeps the local text, which then goes up.
        const auto mergedNames = remoteNames.value_or(names);
        const auto mergedContext = remoteContext.value_or(context);
        merge.profileChanged = mergedNames != names || mergedContext != context;
        names = mergedNames;
        context = mergedContext;
    }
    const bool cloudHoldsIt = remoteNames.value_or("") == names &&
                              remoteContext.value_or("") == context &&
                              (remoteNames || names.empty()) && (remoteContext || context.empty());
    if (cloudHoldsIt)
        merge.agreedProfile = profileDigest(names, context);
    else
        merge.pushProfile = true;
}

} // namespace

bool sameCommandsIgnoringIds(const std::vector<Command>& a, const std::vector<Command>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameCommandIgnoringId);
}

std::string commandsDigest(const std::vector<Command>& commands) {
    std::string text;
    for (const auto& command : commands) {
        auto json = command.toJson();
        json.erase("id");
        text += json.dump();
        text += '\n';
    }
    return digestOf(text);
}

std::string profileDigest(const std::string& displayNames, const std::string& writingContext) {
    return digestOf(Json::array({displayNames, writingContext}).dump());
}

bool holdsUnsyncedChanges(const AppConfig& local, const SyncBasis& basis) {
    auto differs = [](const std::optional<std::string>& agreed, const std::string& now) {
        return agreed && *agreed != now;
    };
    return basis.commandsEditedLocally || basis.profileEditedLocally ||
           differs(basis.commandsDigest, commandsDigest(local.commands)) ||
           differs(basis.profileDigest,
                   profileDigest(local.userDisplayNames, local.userWritingContext));
}

RemoteMerge mergeRemoteData(const AppConfig& local, const ProfilePull& profile,
                            const CommandsPull& commands, const SyncBasis& basis) {
    RemoteMerge merge;
    merge.config = local;
    if (profile.kind() == ProfilePull::Kind::success)
        mergeProfile(profile.value(), basis, merge);
    else if (profile.kind() == ProfilePull::Kind::noRemoteData)
        mergeProfile(std::nullopt, basis, merge);
    if (commands.kind() == CommandsPull::Kind::success)
        mergeCommands(commands.value(), basis, merge);
    return merge;
}

} // namespace pennial
