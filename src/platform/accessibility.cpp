#include "platform/accessibility.hpp"

#include "platform/ax_names.hpp"

#include <cmath>

namespace pennial {

AXError Accessibility::replaceText(const AXElement& element, AXRange range,
                                   const std::string& text) {
    const auto before = copyAttributeValue(element, ax::attribute::selectedTextRange);
    if (setAttributeValue(element, ax::attribute::selectedTextRange, range) != AXError::success)
        return AXError::failure;
    if (setAttributeValue(element, ax::attribute::selectedText, text) == AXError::success)
        return AXError::success;
    // A selection left standing would take the user's next key in place of its text.
    if (const auto* caret = before.ok() ? before.value()->get<AXRange>() : nullptr)
        setAttributeValue(element, ax::attribute::selectedTextRange, *caret);
    return AXError::failure;
}

bool AXElement::operator==(const AXElement& other) const {
    if (handle_ == other.handle_)
        return true;
    if (!handle_ || !other.handle_)
        return false;
    return handle_->sameElement(*other.handle_);
}

std::optional<std::string> AXValue::asString() const {
    if (const auto* text = get<std::string>())
        return *text;
    return std::nullopt;
}

std::optional<std::int64_t> AXValue::asInteger() const {
    if (const auto* number = get<std::int64_t>())
        return *number;
    if (const auto* number = get<double>();
        number && std::fabs(*number) < 9.0e18 && std::trunc(*number) == *number)
        return static_cast<std::int64_t>(*number);
    return std::nullopt;
}

std::optional<AXElement> AXValue::asElement() const {
    if (const auto* element = get<AXElement>(); element && *element)
        return *element;
    return std::nullopt;
}

std::optional<std::vector<AXElement>> AXValue::asElements() const {
    const auto* list = get<List>();
    if (!list)
        return std::nullopt;
    std::vector<AXElement> elements;
    elements.reserve(list->size());
    for (const auto& entry : *list)
        if (auto element = entry.asElement())
            elements.push_back(std::move(*element));
    return elements;
}

} // namespace pennial
