#pragma once
// The user's small settings kept outside the configuration file: Boolean flags such as the
// onboarding progress, and short texts. An absent key reads as false, or as no text.

#include <optional>
#include <string>
#include <string_view>

namespace pennial {

class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    virtual bool boolForKey(std::string_view key) const = 0;
    // Kept at once; a value that cannot be written to disk still holds for this run.
    virtual void setBool(std::string_view key, bool value) = 0;
    virtual std::optional<std::string> stringForKey(std::string_view key) const = 0;
    // None removes the key.
    virtual void setString(std::string_view key, std::optional<std::string> value) = 0;
    // What was stored before this run could not be read back (a damaged or oversized file): a
    // key that reads as absent may well have been set.
    virtual bool storedValuesLost() const { return false; }
};

} // namespace pennial
