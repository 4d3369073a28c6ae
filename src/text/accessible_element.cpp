#include "text/accessible_element.hpp"

namespace pennial {

AccessibleElement::AccessibleElement(AXElement element,
                                     std::shared_ptr<Accessibility> accessibility)
    : element_(std::move(element)), accessibility_(std::move(accessibility)) {}

std::optional<AXValue> AccessibleElement::getAttribute(std::string_view attribute) const {
    auto result = accessibility_->copyAttributeValue(element_, attribute);
    if (!result.ok())
        return std::nullopt;
    return std::move(*result.value());
}

std::optional<Pid> AccessibleElement::processId() const {
    auto result = accessibility_->processId(element_);
    if (!result.ok())
        return std::nullopt;
    return *result.value();
}

} // namespace pennial
