#include "platform/sim/sim_user_defaults.hpp"

namespace pennial {

bool SimUserDefaults::boolForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    return it != values_.end() && it->second;
}

void SimUserDefaults::setBool(std::string_view key, bool value) {
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(std::string(key), value);
    ++writes_;
}

std::optional<std::string> SimUserDefaults::stringForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = strings_.find(key);
    return it == strings_.end() ? std::nullopt : std::optional<std::string>(it->second);
}

void SimUserDefaults::setString(std::string_view key, std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    if (value)
        strings_.insert_or_assign(std::string(key), std::move(*value));
    else if (auto it = strings_.find(key); it != strings_.end())
        strings_.erase(it);
    ++writes_;
}

bool SimUserDefaults::contains(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return values_.find(key) != values_.end() || strings_.find(key) != strings_.end();
}

int SimUserDefaults::writeCount() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

} // namespace pennial
