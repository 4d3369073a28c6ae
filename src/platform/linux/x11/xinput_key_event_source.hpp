#pragma once
// Key-downs typed anywhere on the X display, from XInput2's raw events (delivered whichever window
// has focus and whoever grabs the keyboard), with the text each press produced under the current
// keymap.

#include "base/runtime.hpp"
#include "platform/keyboard.hpp"
#include "platform/linux/activity/event_relay.hpp"

#include <memory>
#include <optional>

namespace pennial {

class X11Connection;

class XInputKeyEventSource : public KeyEventSource {
public:
    explicit XInputKeyEventSource(Executor mainExecutor);
    ~XInputKeyEventSource() override;

    // Whether the display offers raw key events (XInput 2.1 or later).
    static bool isAvailable();

    // A second start only replaces the handler.
    bool startObserving(std::function<void(const KeyDownEvent&)> onKeyDown) override;
    void stopObserving() override;

private:
    struct Reader;

    Executor main_;
    std::optional<EventRelay<KeyDownEvent>> relay_;
    std::unique_ptr<Reader> reader_;
    std::unique_ptr<X11Connection> connection_; // after reader_: closed before it goes
};

// Logs the implementation it chose.
std::unique_ptr<KeyEventSource> makeKeyEventSource(Executor mainExecutor);

} // namespace pennial
