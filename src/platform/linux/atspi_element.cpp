#include "platform/linux/atspi_element.hpp"

#include "platform/linux/atspi_thread.hpp"

#include <atspi/atspi.h>

namespace pennial {

AXElement AtspiElement::systemWide() {
    return AXElement(std::make_shared<AtspiElement>(Kind::systemWide));
}

AXElement AtspiElement::application(Pid pid) {
    return AXElement(std::make_shared<AtspiElement>(Kind::application, pid));
}

AXElement AtspiElement::object(AtspiAccessible* accessible) {
    if (!accessible)
        return {};
    auto handle = std::make_shared<AtspiElement>(Kind::object);
    handle->resolve(accessible);
    return AXElement(std::move(handle));
}

AtspiElement::AtspiElement(Kind kind, Pid pid) : kind_(kind), pid_(pid) {}

AtspiElement::~AtspiElement() {
    if (!accessible_)
        return;
    // The last reference may run the library's clean-up, which only its own thread may do.
    auto& thread = AtspiThread::instance();
    if (thread.isCurrent())
        g_object_unref(accessible_);
    else
        thread.post([accessible = accessible_] { g_object_unref(accessible); });
}

void AtspiElement::resolve(AtspiAccessible* accessible) {
    std::optional<Identity> identity;
    const auto* object = ATSPI_OBJECT(accessible);
    if (object->app && object->app->bus_name && object->path)
        identity = Identity{object->app->bus_name, object->path};
    g_object_ref(accessible);
    std::lock_guard lock(mutex_);
    if (accessible_)
        g_object_unref(accessible_);
    accessible_ = accessible;
    identity_ = std::move(identity);
}

AtspiAccessible* AtspiElement::accessible() const {
    std::lock_guard lock(mutex_);
    return accessible_;
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
