#pragma once
// Picks an ancestor of the focused element as the container (the main landmark, else the one
// about 60% of the way up to the window) and harvests its content text.

#include "text/context_strategy.hpp"

#include <cstddef>

namespace pennial {

class ParentWalkV2Strategy : public ContextStrategy {
public:
    std::string_view name() const override { return "parent-walk-v2"; }
    std::optional<std::string> captureSurroundingText(const AXElement& near, Pid pid,
                                                      const CaptureScope& scope) const override;

    // Which of n ancestors (nearest first) is the container when none is a main landmark.
    static std::size_t containerIndex(std::size_t ancestorCount);
};

} // namespace pennial
