#pragma once
// The one owner of the configuration at run time: loads and saves it through its storage, keeps
// the last loaded or saved configuration in memory, and answers look-ups from it.

#include "base/runtime.hpp"
#include "services/app_config.hpp"
#include "services/async_mutex.hpp"
#include "services/config_storage.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

class ConfigService : public Actor {
public:
    explicit ConfigService(ConfigStorage& storage);

    // No file yet: the defaults, nothing written. A stored trigger pattern that is empty or blank
    // is replaced by the default one in memory, so that later saves are not refused for it. A file
    // that cannot be read or decoded: the error is logged and thrown, and the defaults are used in
    // memory until a save replaces it.
    Awaitable<AppConfig> loadConfiguration();
    // Throws what the storage throws; the cache follows only a save that succeeded.
    Awaitable<void> saveConfiguration(AppConfig config);
    // Loads, changes and saves as one operation, so concurrent updates never undo each other.
    // Starts from the defaults when there is no file, and from the configuration in memory (or
    // the defaults) when the file cannot be read. Returns what was saved.
    Awaitable<AppConfig> update(std::function<void(AppConfig&)> change);
    // The same, keeping the stored file aside first when keepCopy(before, after) holds.
    Awaitable<AppConfig> update(std::function<void(AppConfig&)> change,
                                std::function<bool(const AppConfig&, const AppConfig&)> keepCopy);

    // Look-ups in the configuration in memory.
    Awaitable<std::optional<Command>> getCommand(std::string name);
    Awaitable<std::vector<Command>> getAllCommands();
    // ";;" while nothing is loaded, as the default configuration has.
    Awaitable<std::string> getTriggerPattern();

private:
    Awaitable<AppConfig> loadLocked(bool rethrowUnreadable);

    ConfigStorage& storage_;
    std::optional<AppConfig> currentConfig_;
    AsyncMutex fileAccess_; // one load or save at a time
};

} // namespace pennial
