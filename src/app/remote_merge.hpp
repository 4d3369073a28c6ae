#pragma once
// How pulled remote data is merged into the local configuration. The remote copy wins when the
// local one has not changed since the two last agreed; a local change not yet pushed wins and is
// pushed. A failed pull counts as no data; a null profile column was never set and keeps the
// local text; an empty command list is "not set yet" unless this installation has pushed a
// non-empty one for the account.

#include "services/app_config.hpp"
#include "services/supabase_store.hpp"

#include <optional>
#include <string>
#include <vector>

namespace pennial {

using ProfilePull = SupabaseStore::PullResult<RemoteProfile>;
using CommandsPull = SupabaseStore::PullResult<std::vector<Command>>;

// What is known of the local data beyond its content.
struct SyncBasis {
    // Digests of what the local and the cloud copy last agreed on; none when never.
    std::optional<std::string> commandsDigest;
    std::optional<std::string> profileDigest;
    // An edit saved here and not yet pushed.
    bool commandsEditedLocally = false;
    bool profileEditedLocally = false;
    bool pushedNonEmptyCommands = false;
};

struct RemoteMerge {
    AppConfig config; // the local configuration with the remote data applied
    bool profileChanged = false;
    bool commandsChanged = false;
    // The local copy is the one to keep, and the cloud does not hold it yet.
    bool pushCommands = false;
    bool pushProfile = false;
    // The merge drops local commands: the file they are in is to be kept aside.
    bool dropsLocalCommands = false;
    // What the cloud copy and the merged configuration now both hold.
    std::optional<std::string> agreedCommands;
    std::optional<std::string> agreedProfile;
    bool changed() const { return profileChanged || commandsChanged; }
};

RemoteMerge mergeRemoteData(const AppConfig& local, const ProfilePull& profile,
                            const CommandsPull& commands, const SyncBasis& basis);

// Whether local holds commands or a profile that the cloud copy may not have.
bool holdsUnsyncedChanges(const AppConfig& local, const SyncBasis& basis);

// Equal in everything but the ids, which the default commands get anew in every run.
bool sameCommandsIgnoringIds(const std::vector<Command>& a, const std::vector<Command>& b);
// Stable between runs; ids left out for the same reason.
std::string commandsDigest(const std::vector<Command>& commands);
std::string profileDigest(const std::string& displayNames, const std::string& writingContext);

} // namespace pennial
