#pragma once
// Counts the calls that hand focus back when the application's windows are gone.

#include "app/window_focus.hpp"

namespace pennial::testing {

class FakeWindowFocus final : public WindowFocus {
public:
    void restoreAccessoryIfNoUserWindows() override { ++restoreCount; }
    int restoreCount = 0;
};

} // namespace pennial::testing
