#pragma once
// The Wayland session's own clipboard, read and set without a window through the compositor's
// clipboard-manager protocol (KWin and wlroots compositors offer it). Needed where the compositor
// hands an Xwayland client's clipboard (ours, through Qt) to Wayland applications only while an X
// window is active: a native application focused would paste what it held before.
//
// Every Wayland object lives on the clipboard's own thread, which also hands our contents to the
// applications that paste them; the calls below may come from any one thread.

#include "platform/clipboard.hpp"

#include <memory>

namespace pennial {

class WaylandClipboard : public Clipboard {
public:
    // Null where there is no Wayland display or it offers no clipboard manager.
    static std::unique_ptr<WaylandClipboard> connect();
    ~WaylandClipboard() override;
    WaylandClipboard(const WaylandClipboard&) = delete;
    WaylandClipboard& operator=(const WaylandClipboard&) = delete;

    ClipboardSnapshot snapshot() override;
    void clear() override;
    void setText(const std::string& text) override;
    void write(const ClipboardSnapshot& items) override;
    std::int64_t changeCount() override;

    struct Connection;

private:
    explicit WaylandClipboard(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection_;
};

} // namespace pennial
