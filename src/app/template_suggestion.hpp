#pragma once
// One row of the command palette.

#include <string>

namespace pennial {

struct TemplateSuggestion {
    std::string name;        // the command's exact name, and the row's identity
    std::string displayName; // what the row shows
    bool isDisabled = false; // shown, but cannot be chosen
    bool operator==(const TemplateSuggestion&) const = default;
};

} // namespace pennial
