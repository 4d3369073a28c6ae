#pragma once
// Key-downs typed anywhere, read from the keyboards' input devices (where the display server hands
// us no other application's keys: Wayland), with the text each press produced under the keymap the
// environment names. Needs read access to the devices (the "input" group).

#include "base/runtime.hpp"
#include "platform/keyboard.hpp"
#include "platform/linux/activity/event_relay.hpp"

#include <memory>
#include <optional>
#include <string>

namespace pennial {

class EvdevKeyEventSource : public KeyEventSource {
public:
    explicit EvdevKeyEventSource(Executor mainExecutor, std::string folder = "/dev/input");
    ~EvdevKeyEventSource() override;

    // Whether a keyboard can be read there.
    static bool isAvailable(const std::string& folder = "/dev/input");

    // False when no keyboard can be read. A second start only replaces the handler.
    bool startObserving(std::function<void(const KeyDownEvent&)> onKeyDown) override;
    void stopObserving() override;

private:
    class Reader;

    Executor main_;
    std::string folder_;
    std::optional<EventRelay<KeyDownEvent>> relay_;
    std::unique_ptr<Reader> reader_;
};

} // namespace pennial
