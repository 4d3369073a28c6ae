#pragma once
// Typed attribute reads: the value when the read succeeds and has the wanted type, else none.

#include "platform/accessibility.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pennial::ax {

std::optional<std::string> readString(Accessibility& accessibility, const AXElement& element,
                                      std::string_view attribute);
std::optional<std::int64_t> readInteger(Accessibility& accessibility, const AXElement& element,
                                        std::string_view attribute);
std::optional<AXElement> readElement(Accessibility& accessibility, const AXElement& element,
                                     std::string_view attribute);
std::optional<std::vector<AXElement>>
readElements(Accessibility& accessibility, const AXElement& element, std::string_view attribute);

template <class T>
std::optional<T> readBoxed(Accessibility& accessibility, const AXElement& element,
                           std::string_view attribute) {
    auto result = accessibility.copyAttributeValue(element, attribute);
    if (!result.ok())
        return std::nullopt;
    if (const auto* value = result.value()->template get<T>())
        return *value;
    return std::nullopt;
}

} // namespace pennial::ax
