#pragma once
// The answer of a transform call: the text to write back into the field.

#include "base/json.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace pennial {

struct TransformResponse {
    std::string transformedText;
    std::optional<std::int64_t> processingTimeMs; // informative only

    bool operator==(const TransformResponse&) const = default;

    OrderedJson toJson() const;
    // transformedText must be a string; processingTimeMs, when present, a whole number. Other
    // keys are ignored. Throws JsonShapeError.
    static TransformResponse fromJson(const Json& object);
};

} // namespace pennial
