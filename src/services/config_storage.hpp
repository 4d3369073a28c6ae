#pragma once
// Where one AppConfig is read and written.

#include "base/runtime.hpp"
#include "services/app_config.hpp"

namespace pennial {

class ConfigStorage {
public:
    virtual ~ConfigStorage() = default;
    // Throws ConfigError; fileNotFound when there is nothing stored yet.
    virtual Awaitable<AppConfig> load() = 0;
    // Throws ConfigError; a configuration that breaks a rule is not written.
    virtual Awaitable<void> save(AppConfig config) = 0;
};

} // namespace pennial
