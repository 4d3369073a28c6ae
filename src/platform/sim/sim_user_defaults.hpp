#pragma once
// User defaults held in memory, with a count of writes so tests can tell what was stored.

#include "platform/user_defaults.hpp"

#include <map>
#include <mutex>
#include <string>

namespace pennial {

class SimUserDefaults final : public UserDefaults {
public:
    SimUserDefaults() = default;
    explicit SimUserDefaults(std::map<std::string, bool, std::less<>> values)
        : values_(std::move(values)) {}

    bool boolForKey(std::string_view key) const override;
    void setBool(std::string_view key, bool value) override;
    std::optional<std::string> stringForKey(std::string_view key) const override;
    void setString(std::string_view key, std::optional<std::string> value) override;

    bool contains(std::string_view key) const;
    int writeCount() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, bool, std::less<>> values_;
    std::map<std::string, std::string, std::less<>> strings_;
    int writes_ = 0;
};

} // namespace pennial
