#pragma once
// The process environment, behind an interface so tests can set variables without touching the
// real one.

#include <optional>
#include <string>
#include <string_view>

namespace pennial {

class Environment {
public:
    virtual ~Environment() = default;

    // The variable's value; none when it is not set (an empty value is a value).
    virtual std::optional<std::string> value(std::string_view name) const = 0;
};

} // namespace pennial
