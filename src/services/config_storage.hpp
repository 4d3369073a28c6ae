#pragma once
// Where one AppConfig is read and written.

#include "base/runtime.hpp"
#include "services/app_config.hpp"

#include <string_view>

namespace pennial {

class ConfigStorage {
public:
    virtual ~ConfigStorage() = default;
    // Throws ConfigError; fileNotFound when there is nothing stored yet.
    virtual Awaitable<AppConfig> load() = 0;
    // Throws ConfigError; a configuration that breaks a rule is not written.
    virtual Awaitable<void> save(AppConfig config) = 0;
    // Keeps what is stored now beside it, named after why, before a change that drops some of it;
    // only the last few such copies are kept. Nothing to do where nothing is stored.
    virtual void keepCopyAside(std::string_view why) { (void)why; }
};

} // namespace pennial
