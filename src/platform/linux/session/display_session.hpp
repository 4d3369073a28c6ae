#pragma once
// Which kind of graphical session the program runs in. On Wayland our own windows still go through
// Xwayland (they place themselves on the screen, which Wayland clients cannot), while other
// applications are reached through the accessibility bus only.

#include "platform/environment.hpp"

#include <string_view>

namespace pennial {

enum class DisplaySession { x11, wayland };

// From the variables a session manager sets: XDG_SESSION_TYPE first, then WAYLAND_DISPLAY.
DisplaySession detectDisplaySession(const Environment& environment);

std::string_view displaySessionName(DisplaySession session);

} // namespace pennial
