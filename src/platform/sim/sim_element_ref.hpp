#pragma once
// The handle behind a reference to a simulated element. Like a real reference it carries its own
// messaging time-out; each read of a child or parent hands out a fresh one.

#include "platform/accessibility.hpp"
#include "platform/sim/sim_element.hpp"

#include <chrono>
#include <mutex>
#include <optional>

namespace pennial {

class SimElementRef : public AXElementHandle {
public:
    using Timeout = std::chrono::duration<double>;

    explicit SimElementRef(std::weak_ptr<SimElement> element) : element_(std::move(element)) {}

    // Null when the element is gone.
    SimElementPtr element() const;
    bool sameElement(const AXElementHandle& other) const override;

    std::optional<Timeout> messagingTimeout() const;
    void setMessagingTimeout(Timeout timeout);

private:
    std::weak_ptr<SimElement> element_;
    mutable std::mutex mutex_;
    std::optional<Timeout> timeout_;
};

AXElement makeElementRef(const SimElementPtr& element);
// The handle of a reference the simulated desktop handed out; null for any other.
SimElementRef* simElementRef(const AXElement& element);

} // namespace pennial
