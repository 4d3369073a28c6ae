#include "services/config_service.hpp"

#include "base/log.hpp"
#include "base/unicode.hpp"
#include "services/config_error.hpp"

namespace pennial {

ConfigService::ConfigService(ConfigStorage& storage) : storage_(storage) {}

Awaitable<AppConfig> ConfigService::loadLocked(bool rethrowUnreadable) {
    try {
        auto config = co_await storage_.load();
        if (unicode::trimWhitespaceAndNewlines(config.triggerPattern).empty()) {
            config.triggerPattern = AppConfig::defaults().triggerPattern;
            logf("⚠️ [ConfigService] The configuration file has no usable trigger pattern; "
                 "using "
                 "\"{}\" until the next save",
                 config.triggerPattern);
        }
        currentConfig_ = config;
        co_return config;
    } catch (const ConfigError& error) {
        if (error.kind() == ConfigError::Kind::fileNotFound) {
            currentConfig_ = AppConfig::defaults();
            co_return *currentConfig_;
        }
        if (!currentConfig_)
            currentConfig_ = AppConfig::defaults();
        logf("❌ [ConfigService] Could not load the configuration file ({}); using the "
             "configuration in memory until it is saved again",
             error.what());
        if (rethrowUnreadable)
            throw;
    }
    co_return *currentConfig_;
}

Awaitable<AppConfig> ConfigService::loadConfiguration() {
    return onStrand([](ConfigService* self) -> Awaitable<AppConfig> {
        auto guard = co_await self->fileAccess_.lock();
        co_return co_await self->loadLocked(true);
    }(this));
}

Awaitable<void> ConfigService::saveConfiguration(AppConfig config) {
    return onStrand([](ConfigService* self, AppConfig config) -> Awaitable<void> {
        auto guard = co_await self->fileAccess_.lock();
        co_await self->storage_.save(config);
        self->currentConfig_ = std::move(config);
    }(this, std::move(config)));
}

Awaitable<AppConfig> ConfigService::update(std::function<void(AppConfig&)> change) {
    return update(std::move(change), nullptr);
}

Awaitable<AppConfig>
ConfigService::update(std::function<void(AppConfig&)> change,
                      std::function<bool(const AppConfig&, const AppConfig&)> keepCopy) {
    return onStrand([](ConfigService* self, std::function<void(AppConfig&)> change,
                       std::function<bool(const AppConfig&, const AppConfig&)> keepCopy)
                        -> Awaitable<AppConfig> {
        auto guard = co_await self->fileAccess_.lock();
        auto config = co_await self->loadLocked(false);
        const AppConfig before = config;
        change(config);
        if (keepCopy && keepCopy(before, config))
            self->storage_.keepCopyAside("before-sync");
        co_await self->storage_.save(config);
        self->currentConfig_ = config;
        co_return config;
    }(this, std::move(change), std::move(keepCopy)));
}

Awaitable<std::optional<Command>> ConfigService::getCommand(std::string name) {
    return onStrand([](ConfigService* self, std::string name) -> Awaitable<std::optional<Command>> {
        if (self->currentConfig_)
            for (const auto& command : self->currentConfig_->commands)
                if (command.name == name)
                    co_return command;
        co_return std::nullopt;
    }(this, std::move(name)));
}

Awaitable<std::vector<Command>> ConfigService::getAllCommands() {
    return onStrand([](ConfigService* self) -> Awaitable<std::vector<Command>> {
        co_return self->currentConfig_ ? self->currentConfig_->commands : std::vector<Command>{};
    }(this));
}

Awaitable<std::string> ConfigService::getTriggerPattern() {
    return onStrand([](ConfigService* self) -> Awaitable<std::string> {
        co_return self->currentConfig_ ? self->currentConfig_->triggerPattern
                                       : AppConfig().triggerPattern;
    }(this));
}

} // namespace pennial
