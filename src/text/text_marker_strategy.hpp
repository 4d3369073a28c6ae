#pragma once
// Reads a web area's whole text in one request through its text markers: the window's top-level
// web area, else the nearest ancestor of the focused element that is a web area, a conversation,
// or the outermost main landmark.

#include "text/context_strategy.hpp"

namespace pennial {

class TextMarkerStrategy : public ContextStrategy {
public:
    std::string_view name() const override { return "textmarker"; }
    std::optional<std::string> captureSurroundingText(const AXElement& near, Pid pid,
                                                      const CaptureScope& scope) const override;

    // Object replacement characters become line breaks, private-use characters go, runs of blank
    // lines shrink to one, and the ends are trimmed.
    static std::string cleanOutput(std::string_view text);
    // The whole text of an element that supports text markers; none when it offers none.
    static std::optional<std::string> extractViaTextMarkers(const CaptureScope& scope,
                                                            const AXElement& element);
};

} // namespace pennial
