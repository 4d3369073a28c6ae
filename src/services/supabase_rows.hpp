#pragma once
// The rows of the hosted profile and command tables as they travel: the push bodies and the
// decoding of pulled answers.

#include "base/json.hpp"
#include "text/command.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pennial {

// A column that is null or missing was never set: none, not "".
struct RemoteProfile {
    std::optional<std::string> displayNames;
    std::optional<std::string> writingContext;
    bool operator==(const RemoteProfile&) const = default;
};

Json profilePushBody(const std::string& userId, const std::string& displayNames,
                     const std::string& writingContext);
// {"p_commands": [...]}, one row per command in the list's order.
Json commandsPushBody(const std::vector<Command>& commands);

// The first row of a profile answer; none when the answer holds no row. A missing or null value
// reads as none. Throws JsonShapeError when a row is not an object of strings.
std::optional<RemoteProfile> decodeProfileRows(std::string_view answer);
// The commands of a command answer, in its order; rows whose id is not a UUID are left out.
// Throws JsonShapeError when a row lacks a field or has one of the wrong type.
std::vector<Command> decodeCommandRows(std::string_view answer);

} // namespace pennial
