#pragma once
// Typed attribute reads: the value when the read succeeds and has the wanted type, else none.

#include "platform/accessibility.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pennial::ax {

std::optional<std::string> stringOf(const AXResult<AXValue>& result);
std::optional<std::int64_t> integerOf(const AXResult<AXValue>& result);
std::optional<AXElement> elementOf(const AXResult<AXValue>& result);
std::optional<std::vector<AXElement>> elementsOf(const AXResult<AXValue>& result);
template <class T> std::optional<T> boxedOf(const AXResult<AXValue>& result) {
    if (const auto* value = result.ok() ? result.value()->template get<T>() : nullptr)
        return *value;
    return std::nullopt;
}

inline std::optional<std::string> readString(Accessibility& accessibility, const AXElement& element,
                                             std::string_view attribute) {
    return stringOf(accessibility.copyAttributeValue(element, attribute));
}
template <class T>
std::optional<T> readBoxed(Accessibility& accessibility, const AXElement& element,
                           std::string_view attribute) {
    return boxedOf<T>(accessibility.copyAttributeValue(element, attribute));
}

} // namespace pennial::ax
