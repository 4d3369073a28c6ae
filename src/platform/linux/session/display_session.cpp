#include "platform/linux/session/display_session.hpp"

namespace pennial {

DisplaySession detectDisplaySession(const Environment& environment) {
    // A session that names its type is believed; an X11 session can still carry a stray
    // WAYLAND_DISPLAY (a nested compositor started from it), and a Wayland one a DISPLAY.
    if (auto type = environment.value("XDG_SESSION_TYPE"); type && !type->empty()) {
        if (*type == "wayland")
            return DisplaySession::wayland;
        if (*type == "x11")
            return DisplaySession::x11;
    }
    auto wayland = environment.value("WAYLAND_DISPLAY");
    return wayland && !wayland->empty() ? DisplaySession::wayland : DisplaySession::x11;
}

std::string_view displaySessionName(DisplaySession session) {
    return session == DisplaySession::wayland ? "Wayland" : "X11";
}

} // namespace pennial
