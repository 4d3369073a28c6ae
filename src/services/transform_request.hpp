#pragma once
// The body of a transform call: the text, the command's name, instructions and mode, the captured
// context and the user's profile notes.

#include "base/json.hpp"
#include "text/app_context.hpp"

#include <optional>
#include <string>

namespace pennial {

struct TransformRequest {
    std::string text;
    std::string command;
    std::string content;
    std::string mode; // "smart_edit" or "snippet"
    std::optional<AppContext> context;
    std::optional<std::string> userDisplayNames;
    std::optional<std::string> userWritingContext;

    bool operator==(const TransformRequest&) const = default;

    // The optional keys are left out when absent (never written as null).
    OrderedJson toJson() const;
    // The four required keys must be present; throws JsonShapeError.
    static TransformRequest fromJson(const Json& object);
};

} // namespace pennial
