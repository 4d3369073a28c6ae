#pragma once
// The palette's six keys taken from whichever application has focus: passive grabs on the root
// window, so their presses and releases come to us instead. When another client already holds one
// of them, the keys are only observed (through raw key events) and still reach the application.

#include "base/runtime.hpp"
#include "platform/keyboard.hpp"
#include "platform/linux/activity/event_relay.hpp"

#include <memory>
#include <optional>

namespace pennial {

class X11Connection;
class XInputKeyEventSource;

class X11PaletteKeyInterceptor : public PaletteKeyInterceptor {
public:
    explicit X11PaletteKeyInterceptor(Executor mainExecutor);
    ~X11PaletteKeyInterceptor() override;

    // A second start while started only replaces the handler and answers the same mode.
    Mode start(std::function<void(PaletteKey)> onKeyDown) override;
    void stop() override;

private:
    struct Grabber;

    Mode observeInstead();

    Executor main_;
    std::optional<Mode> mode_; // present between start and stop
    std::optional<EventRelay<PaletteKey>> relay_;
    std::unique_ptr<Grabber> grabber_;
    std::unique_ptr<X11Connection> connection_; // after grabber_: closed before it goes
    std::unique_ptr<XInputKeyEventSource> observer_;
};

// Logs the implementation it chose.
std::unique_ptr<PaletteKeyInterceptor> makePaletteKeyInterceptor(Executor mainExecutor);

} // namespace pennial
