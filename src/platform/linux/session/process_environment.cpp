#include "platform/linux/session/process_environment.hpp"

#include <cstdlib>

namespace pennial {

std::optional<std::string> ProcessEnvironment::value(std::string_view name) const {
    if (const char* found = std::getenv(std::string(name).c_str()))
        return std::string(found);
    return std::nullopt;
}

} // namespace pennial
