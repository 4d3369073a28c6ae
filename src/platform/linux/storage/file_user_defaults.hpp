#pragma once
// User defaults in a small JSON file beside the configuration
// ($XDG_CONFIG_HOME/pennial/defaults.json), rewritten atomically on every change.

#include "base/json.hpp"
#include "platform/user_defaults.hpp"

#include <filesystem>
#include <mutex>

namespace pennial {

class FileUserDefaults final : public UserDefaults {
public:
    explicit FileUserDefaults(std::filesystem::path file = defaultFile());

    static std::filesystem::path defaultFile();

    bool boolForKey(std::string_view key) const override;
    void setBool(std::string_view key, bool value) override;
    std::optional<std::string> stringForKey(std::string_view key) const override;
    void setString(std::string_view key, std::optional<std::string> value) override;
    bool storedValuesLost() const override { return storedValuesLost_; }

    const std::filesystem::path& file() const { return file_; }

private:
    void load();
    void save();

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    Json values_ = Json::object(); // unknown keys and non-Boolean values are kept as they are
    bool keepUnreadableCopy_ = false;
    bool storedValuesLost_ = false; // set once, while constructing
};

} // namespace pennial
