#pragma once
// Whether the user can see one of our windows: shown is not enough, since a window may be
// minimised, on another workspace, or buried under other applications' windows. Main thread.

#include <cstdint>

namespace pennial {

class WindowVisibility {
public:
    virtual ~WindowVisibility() = default;

    // The top-level window with this native id is on screen and at least partly uncovered.
    virtual bool isWindowSeen(std::uint64_t nativeWindow) = 0;
};

} // namespace pennial
