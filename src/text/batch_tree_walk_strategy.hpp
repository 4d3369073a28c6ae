#pragma once
// A depth-first harvest of the content roots that fetches each element's role, texts and
// children in one request.

#include "text/context_strategy.hpp"

namespace pennial {

class BatchTreeWalkStrategy : public ContextStrategy {
public:
    std::string_view name() const override { return "batch-tree-walk"; }
    std::optional<std::string> captureSurroundingText(const AXElement& near, Pid pid,
                                                      const CaptureScope& scope) const override;
};

} // namespace pennial
