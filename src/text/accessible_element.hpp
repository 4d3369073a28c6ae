#pragma once
// A handle on one element of another application's accessibility tree, freely copied and passed
// between actors. It keeps the element reference and the facility that reads it.

#include "platform/accessibility.hpp"

#include <memory>
#include <optional>
#include <string_view>

namespace pennial {

class AccessibleElement {
public:
    AccessibleElement(AXElement element, std::shared_ptr<Accessibility> accessibility);

    const AXElement& element() const { return element_; }
    const std::shared_ptr<Accessibility>& accessibility() const { return accessibility_; }

    // The attribute's value; none for every error and for an absent value.
    std::optional<AXValue> getAttribute(std::string_view attribute) const;
    // The process the element belongs to; none when it cannot be read.
    std::optional<Pid> processId() const;

    // The platform's element equality.
    bool operator==(const AccessibleElement& other) const { return element_ == other.element_; }

private:
    AXElement element_;
    std::shared_ptr<Accessibility> accessibility_;
};

} // namespace pennial
