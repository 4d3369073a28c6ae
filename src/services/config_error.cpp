#include "services/config_error.hpp"

#include <fmt/format.h>

namespace pennial {

ConfigError::ConfigError(Kind kind) : kind_(kind) {
    static constexpr const char* names[] = {"readError", "writeError", "validationError",
                                            "fileNotFound", "invalidFormat"};
    description_ = names[int(kind)];
}

ConfigError ConfigError::readError(std::string underlying) {
    ConfigError error(Kind::readError);
    error.description_ = fmt::format("readError({})", underlying);
    error.underlying_ = std::move(underlying);
    return error;
}

ConfigError ConfigError::writeError(std::string underlying) {
    ConfigError error(Kind::writeError);
    error.description_ = fmt::format("writeError({})", underlying);
    error.underlying_ = std::move(underlying);
    return error;
}

ConfigError ConfigError::validationError(std::string message) {
    ConfigError error(Kind::validationError);
    error.description_ = fmt::format("validationError({})", message);
    error.message_ = std::move(message);
    return error;
}

ConfigError ConfigError::invalidFormat(std::string detail) {
    ConfigError error(Kind::invalidFormat);
    if (!detail.empty())
        error.description_ = fmt::format("invalidFormat({})", detail);
    return error;
}

bool ConfigError::operator==(const ConfigError& other) const {
    return kind_ == other.kind_ && underlying_ == other.underlying_ && message_ == other.message_;
}

} // namespace pennial
