#pragma once
// The three events the text monitor sends while it runs. It awaits each one, so it does not poll
// while the receiver handles an event.

#include "base/runtime.hpp"

#include <exception>
#include <optional>
#include <string>

namespace pennial {

class TextMonitorDelegate {
public:
    virtual ~TextMonitorDelegate() = default;

    // A trigger pattern followed by a known command name; the offset is in UTF-16 units.
    virtual Awaitable<void> handleTrigger(std::string commandName, std::string fullPattern,
                                          std::optional<long long> triggerOffset) = 0;
    // A trigger being typed; fullPattern none means it is gone.
    virtual Awaitable<void> handleTriggerQueryUpdate(std::optional<std::string> fullPattern,
                                                     std::string query,
                                                     std::optional<long long> triggerOffset,
                                                     bool hasTextBeforeTrigger) = 0;
    // A failure that polling cannot ride out.
    virtual Awaitable<void> handleError(std::exception_ptr error) = 0;
};

} // namespace pennial
