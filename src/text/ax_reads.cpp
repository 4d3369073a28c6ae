#include "text/ax_reads.hpp"

namespace pennial::ax {

std::optional<std::string> stringOf(const AXResult<AXValue>& result) {
    return result.ok() ? result.value()->asString() : std::nullopt;
}

std::optional<std::int64_t> integerOf(const AXResult<AXValue>& result) {
    return result.ok() ? result.value()->asInteger() : std::nullopt;
}

std::optional<AXElement> elementOf(const AXResult<AXValue>& result) {
    return result.ok() ? result.value()->asElement() : std::nullopt;
}

std::optional<std::vector<AXElement>> elementsOf(const AXResult<AXValue>& result) {
    return result.ok() ? result.value()->asElements() : std::nullopt;
}

} // namespace pennial::ax
