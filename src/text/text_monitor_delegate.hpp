#pragma once
// What the text monitor reports, and awaits before it goes on: a detected trigger, the palette's
// query while a trigger is being typed, and errors that are not transient. Implementations run the
// work on their own executor (the coordinator's on the main thread) and do not throw.

#include "base/runtime.hpp"

#include <exception>
#include <optional>
#include <string>

namespace pennial {

class TextMonitorDelegate {
public:
    virtual ~TextMonitorDelegate() = default;

    // triggerOffset: the UTF-16 location of the trigger in the text it was found in.
    virtual Awaitable<void> handleTrigger(std::string commandName, std::string fullPattern,
                                          std::optional<long long> triggerOffset) = 0;
    // Without a pattern (none, "", none, false) the palette hides.
    virtual Awaitable<void> handleTriggerQueryUpdate(std::optional<std::string> fullPattern,
                                                     std::string query,
                                                     std::optional<long long> triggerOffset,
                                                     bool hasTextBeforeTrigger) = 0;
    virtual Awaitable<void> handleError(std::exception_ptr error) = 0;
};

} // namespace pennial
