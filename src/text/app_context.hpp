#pragma once
// Where the user is typing when a trigger fires: the application, its window, the open document
// and the text around the field. Sent to the backend with every transform.

#include "base/json.hpp"

#include <optional>
#include <string>

namespace pennial {

struct AppContext {
    std::string appName;
    std::string bundleIdentifier;
    std::string windowTitle;
    std::optional<std::string> documentPath;
    std::optional<std::string> surroundingText;

    bool operator==(const AppContext&) const = default;

    // The optional keys are written only when present (never as null).
    OrderedJson toJson() const;
    // Requires the first three keys; throws JsonShapeError otherwise.
    static AppContext fromJson(const Json& object);
};

} // namespace pennial
