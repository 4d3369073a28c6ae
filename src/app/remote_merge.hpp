#pragma once
// How pulled remote data is merged into the local configuration: remote wins when it has data;
// a failed pull counts as no data.

#include "services/app_config.hpp"
#include "services/supabase_store.hpp"

#include <vector>

namespace pennial {

using ProfilePull = SupabaseStore::PullResult<RemoteProfile>;
using CommandsPull = SupabaseStore::PullResult<std::vector<Command>>;

struct RemoteMerge {
    AppConfig config; // the local configuration with the remote data applied
    bool profileChanged = false;
    bool commandsChanged = false;
    bool changed() const { return profileChanged || commandsChanged; }
};

// keepLocalCommands: local edits not yet pushed; the remote list must not replace them.
RemoteMerge mergeRemoteData(const AppConfig& local, const ProfilePull& profile,
                            const CommandsPull& commands, bool keepLocalCommands);

// Equal in everything but the ids, which the default commands get anew in every run.
bool sameCommandsIgnoringIds(const std::vector<Command>& a, const std::vector<Command>& b);

} // namespace pennial
