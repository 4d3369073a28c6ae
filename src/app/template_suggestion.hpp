#pragma once
// One row of the command palette.

#include <string>

namespace pennial {

struct TemplateSuggestion {
    std::string name;        // the command's exact name, and the row's identity
    std::string displayName; // what the row shows
    bool isDisabled = false; // shown, but cannot be chosen

    // Lists key their rows by name alone, whatever the display name.
    const std::string& id() const { return name; }
    bool operator==(const TemplateSuggestion&) const = default;
};

} // namespace pennial
