#include "platform/sim/sim_element_ref.hpp"

namespace pennial {

SimElementPtr SimElementRef::element() const {
    auto element = element_.lock();
    return element && !element->isDestroyed() ? element : nullptr;
}

bool SimElementRef::sameElement(const AXElementHandle& other) const {
    const auto* ref = dynamic_cast<const SimElementRef*>(&other);
    return ref && !element_.owner_before(ref->element_) && !ref->element_.owner_before(element_);
}

std::optional<SimElementRef::Timeout> SimElementRef::messagingTimeout() const {
    std::lock_guard lock(mutex_);
    return timeout_;
}

void SimElementRef::setMessagingTimeout(Timeout timeout) {
    std::lock_guard lock(mutex_);
    timeout_ = timeout;
}

AXElement makeElementRef(const SimElementPtr& element) {
    return AXElement(std::make_shared<SimElementRef>(element));
}

SimElementRef* simElementRef(const AXElement& element) {
    return dynamic_cast<SimElementRef*>(element.handle());
}

} // namespace pennial
