#include "platform/linux/atspi/atspi_element.hpp"

#include "platform/linux/atspi/atspi_thread.hpp"

#include <atspi/atspi.h>

namespace pennial {

AXElement AtspiElement::systemWide() {
    return AXElement(std::make_shared<AtspiElement>(Kind::systemWide));
}

AXElement AtspiElement::application(Pid pid) {
    return AXElement(std::make_shared<AtspiElement>(Kind::application, pid));
}

AXElement AtspiElement::object(AtspiAccessible* accessible, std::optional<Pid> pid) {
    if (!accessible)
        return {};
    auto handle = std::make_shared<AtspiElement>(Kind::object);
    handle->resolve(accessible);
    handle->knownProcess_ = pid;
    return AXElement(std::move(handle));
}

AXElement AtspiElement::copyOf(const AXElement& element) {
    const auto* original = atspiElement(element);
    if (!original)
        return {};
    auto copy = std::make_shared<AtspiElement>(original->kind_, original->pid_);
    std::lock_guard lock(original->mutex_);
    copy->object_ = original->object_;
    copy->identity_ = original->identity_;
    copy->knownProcess_ = original->knownProcess_;
    return AXElement(std::move(copy));
}

AtspiElement::AtspiElement(Kind kind, Pid pid) : kind_(kind), pid_(pid) {}

AtspiElement::~AtspiElement() = default;

AtspiElement::Object::Object(AtspiAccessible* accessible) : accessible(accessible) {
    g_object_ref(accessible);
}

AtspiElement::Object::~Object() {
    // The last reference may run the library's clean-up, which only its own thread may do.
    auto& thread = AtspiThread::instance();
    if (thread.isCurrent())
        g_object_unref(accessible);
    else
        thread.post([accessible = accessible] { g_object_unref(accessible); });
}

void AtspiElement::resolve(AtspiAccessible* accessible) {
    std::optional<Identity> identity;
    const auto* named = ATSPI_OBJECT(accessible);
    if (named->app && named->app->bus_name && named->path)
        identity = Identity{named->app->bus_name, named->path};
    auto object = std::make_shared<const Object>(accessible);
    std::lock_guard lock(mutex_);
    object_ = std::move(object); // the one replaced is let go of here
    identity_ = std::move(identity);
}

AtspiAccessible* AtspiElement::accessible() const {
    std::lock_guard lock(mutex_);
    return object_ ? object_->accessible : nullptr;
}

std::optional<AtspiElement::Identity> AtspiElement::identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

bool AtspiElement::sameElement(const AXElementHandle& other) const {
    const auto* element = dynamic_cast<const AtspiElement*>(&other);
    if (!element)
        return false;
    if (element == this)
        return true;
    if (kind_ == Kind::systemWide || element->kind_ == Kind::systemWide)
        return kind_ == element->kind_;
    if (kind_ == Kind::application && element->kind_ == Kind::application && pid_ == element->pid_)
        return true;
    auto mine = identity();
    return mine && mine == element->identity();
}

std::optional<AtspiElement::Timeout> AtspiElement::messagingTimeout() const {
    std::lock_guard lock(mutex_);
    return timeout_;
}

void AtspiElement::setMessagingTimeout(Timeout timeout) {
    std::lock_guard lock(mutex_);
    timeout_ = timeout;
}

AtspiElement* atspiElement(const AXElement& element) {
    return dynamic_cast<AtspiElement*>(element.handle());
}

} // namespace pennial
