#include "text/ax_reads.hpp"

namespace pennial::ax {

std::optional<std::string> readString(Accessibility& accessibility, const AXElement& element,
                                      std::string_view attribute) {
    auto result = accessibility.copyAttributeValue(element, attribute);
    return result.ok() ? result.value()->asString() : std::nullopt;
}

std::optional<std::int64_t> readInteger(Accessibility& accessibility, const AXElement& element,
                                        std::string_view attribute) {
    auto result = accessibility.copyAttributeValue(element, attribute);
    return result.ok() ? result.value()->asInteger() : std::nullopt;
}

std::optional<AXElement> readElement(Accessibility& accessibility, const AXElement& element,
                                     std::string_view attribute) {
    auto result = accessibility.copyAttributeValue(element, attribute);
    return result.ok() ? result.value()->asElement() : std::nullopt;
}

std::optional<std::vector<AXElement>>
readElements(Accessibility& accessibility, const AXElement& element, std::string_view attribute) {
    auto result = accessibility.copyAttributeValue(element, attribute);
    return result.ok() ? result.value()->asElements() : std::nullopt;
}

} // namespace pennial::ax
