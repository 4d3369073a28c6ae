#pragma once
// One way of capturing the text around the focused element. Strategies run synchronously, one
// after another, on the capture's thread, and never throw: finding nothing is no text.

#include "platform/accessibility.hpp"
#include "text/capture_scope.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace pennial {

class ContextStrategy {
public:
    virtual ~ContextStrategy() = default;

    // Used in the router's log lines and returned as the strategy used.
    virtual std::string_view name() const = 0;
    // At most 30000 characters. When the scope's deadline passes mid-way, what was captured so far.
    virtual std::optional<std::string> captureSurroundingText(const AXElement& near, Pid pid,
                                                              const CaptureScope& scope) const = 0;
};

} // namespace pennial
