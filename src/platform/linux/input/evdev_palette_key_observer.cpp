#include "platform/linux/input/evdev_palette_key_observer.hpp"

#include "platform/linux/x11/x11_keymap.hpp"

#include <utility>

namespace pennial {

EvdevPaletteKeyObserver::EvdevPaletteKeyObserver(std::unique_ptr<KeyEventSource> keys)
    : keys_(std::move(keys)) {}

PaletteKeyInterceptor::Mode
EvdevPaletteKeyObserver::start(std::function<void(PaletteKey)> onKeyDown) {
    started_ = keys_->startObserving([onKeyDown = std::move(onKeyDown)](const KeyDownEvent& event) {
        // A chord is the application's shortcut, not a move in the list.
        constexpr unsigned chord =
            KeyModifier::control | KeyModifier::option | KeyModifier::command;
        if (event.modifiers & chord)
            return;
        if (auto key = paletteKeyFor(event.key))
            onKeyDown(*key);
    });
    return started_ ? Mode::observing : Mode::unavailable;
}

void EvdevPaletteKeyObserver::stop() {
    if (std::exchange(started_, false))
        keys_->stopObserving();
}

} // namespace pennial
