#pragma once
// Window visibility on the simulated desktop: every window is seen until a test covers it.

#include "platform/window_visibility.hpp"

#include <set>

namespace pennial {

class SimWindowVisibility final : public WindowVisibility {
public:
    bool isWindowSeen(std::uint64_t nativeWindow) override {
        return !covered_.contains(nativeWindow);
    }
    // The window is buried under others (or minimised, or on another workspace), or back.
    void setCovered(std::uint64_t nativeWindow, bool covered) {
        if (covered)
            covered_.insert(nativeWindow);
        else
            covered_.erase(nativeWindow);
    }

private:
    std::set<std::uint64_t> covered_;
};

} // namespace pennial
