#pragma once
// Window visibility on an X11 desktop with an EWMH window manager: a window is seen when it is
// mapped, not minimised or hidden (_NET_WM_STATE_HIDDEN), on the current workspace (or on all of
// them), inside the screen, and not wholly covered by the frames of the windows stacked above it
// (_NET_CLIENT_LIST_STACKING). Without a window manager's lists, a mapped window counts as seen.
// Its own display connection, used on the calling (main) thread.

#include "platform/window_visibility.hpp"

#include <memory>

namespace pennial {

class X11WindowVisibility final : public WindowVisibility {
public:
    // Null when no display can be opened.
    static std::shared_ptr<X11WindowVisibility> open();
    ~X11WindowVisibility() override;

    bool isWindowSeen(std::uint64_t nativeWindow) override;

private:
    struct Connection;
    explicit X11WindowVisibility(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> connection_;
};

} // namespace pennial
