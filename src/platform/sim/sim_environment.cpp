#include "platform/sim/sim_environment.hpp"

namespace pennial {

std::optional<std::string> SimEnvironment::value(std::string_view name) const {
    auto it = variables_.find(name);
    if (it == variables_.end())
        return std::nullopt;
    return it->second;
}

void SimEnvironment::set(std::string name, std::string value) {
    variables_.insert_or_assign(std::move(name), std::move(value));
}

void SimEnvironment::unset(std::string_view name) {
    if (auto it = variables_.find(name); it != variables_.end())
        variables_.erase(it);
}

} // namespace pennial
