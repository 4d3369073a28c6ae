#pragma once
// The content roots of the focused window, most specific first: each one's whole text in one
// ranged read, else the static texts harvested under it.

#include "text/context_strategy.hpp"

namespace pennial {

class BaselineStrategy : public ContextStrategy {
public:
    std::string_view name() const override { return "baseline"; }
    std::optional<std::string> captureSurroundingText(const AXElement& near, Pid pid,
                                                      const CaptureScope& scope) const override;
};

} // namespace pennial
