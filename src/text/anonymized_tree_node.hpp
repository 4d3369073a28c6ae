#pragma once
// One element of a window's accessibility tree without any of its text: what the telemetry report
// of an application whose context capture failed carries.

#include "base/json.hpp"

#include <optional>
#include <string>

namespace pennial {

struct AnonymizedTreeNode {
    std::optional<std::string> role;
    std::optional<std::string> subrole;
    int childCount = 0;
    int depth = 0; // the window is at depth 0

    bool operator==(const AnonymizedTreeNode&) const = default;

    // Role and subrole are written only when present.
    OrderedJson toJson() const;
    // Requires childCount and depth; throws JsonShapeError otherwise.
    static AnonymizedTreeNode fromJson(const Json& object);
};

} // namespace pennial
