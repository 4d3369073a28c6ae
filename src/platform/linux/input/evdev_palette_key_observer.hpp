#pragma once
// The palette's keys where nothing can take them from the focused application (Wayland): seen on
// the keyboards' input devices, so the palette follows them, while the application gets them too.

#include "platform/keyboard.hpp"

#include <memory>

namespace pennial {

class EvdevPaletteKeyObserver : public PaletteKeyInterceptor {
public:
    explicit EvdevPaletteKeyObserver(std::unique_ptr<KeyEventSource> keys);

    // Observing while a keyboard can be read; unavailable otherwise.
    Mode start(std::function<void(PaletteKey)> onKeyDown) override;
    void stop() override;

private:
    std::unique_ptr<KeyEventSource> keys_;
    bool started_ = false;
};

} // namespace pennial
