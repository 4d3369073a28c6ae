#pragma once
// The real process environment.

#include "platform/environment.hpp"

namespace pennial {

class ProcessEnvironment final : public Environment {
public:
    std::optional<std::string> value(std::string_view name) const override;
};

} // namespace pennial
