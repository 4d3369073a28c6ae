#pragma once
// An environment of the test's own making.

#include "platform/environment.hpp"

#include <map>
#include <string>

namespace pennial {

class SimEnvironment final : public Environment {
public:
    SimEnvironment() = default;
    explicit SimEnvironment(std::map<std::string, std::string, std::less<>> variables)
        : variables_(std::move(variables)) {}

    std::optional<std::string> value(std::string_view name) const override;

    void set(std::string name, std::string value);
    void unset(std::string_view name);

private:
    std::map<std::string, std::string, std::less<>> variables_;
};

} // namespace pennial
