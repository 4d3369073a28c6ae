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

bool SimUserDefaults::contains(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return values_.find(key) != values_.end();
}

int SimUserDefaults::writeCount() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

} // namespace pennial
