#pragma once
// A change of the configuration from a settings tab, stored as one step of the configuration
// service so that a save running meanwhile keeps its own fields.

#include "base/runtime.hpp"
#include "services/app_config.hpp"

#include <functional>

namespace pennial {

class ConfigService;

// False when the change could not be stored; a cancellation passes through.
Awaitable<bool> storeConfigurationChange(ConfigService& service,
                                         std::function<void(AppConfig&)> change);

} // namespace pennial
