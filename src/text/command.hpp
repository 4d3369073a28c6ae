#pragma once
// One thing the user can run from a text field: the name typed after the trigger pattern, the
// instructions or template the backend receives, and whether the result replaces the text before
// the trigger (rewrite) or is inserted at it (insert).

#include "base/json.hpp"
#include "base/uuid.hpp"

#include <map>
#include <optional>
#include <string>

namespace pennial {

struct Command {
    Uuid id = Uuid::random();
    std::string name;
    std::string content;
    std::optional<std::map<std::string, std::string>> metadata;
    bool replaceText = true;

    static Command make(std::string name, std::string content, bool replaceText,
                        std::optional<std::map<std::string, std::string>> metadata = {});

    bool operator==(const Command&) const = default;

    // Keys in the order id, name, content, metadata (only when present), replaceText.
    OrderedJson toJson() const;
    // Reads the current form and the legacy "mode" form; throws JsonShapeError on a wrong shape.
    static Command fromJson(const Json& object);
};

// The mode as it travels on every wire.
inline const char* modeName(bool replaceText) {
    return replaceText ? "smart_edit" : "snippet";
}
inline bool replaceTextForMode(std::string_view mode) {
    return mode != "snippet";
}

} // namespace pennial
