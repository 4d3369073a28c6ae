#include "platform/sim/sim_palette_key_interceptor.hpp"

#include <asio/post.hpp>

namespace pennial {

SimPaletteKeyInterceptor::SimPaletteKeyInterceptor(Executor mainExecutor)
    : main_(std::move(mainExecutor)) {}

PaletteKeyInterceptor::Mode
SimPaletteKeyInterceptor::start(std::function<void(PaletteKey)> onKeyDown) {
    calls_.push_back("start");
    if (activeMode_) {
        *handler_ = std::move(onKeyDown);
        return *activeMode_;
    }
    handler_ = std::make_shared<Handler>(std::move(onKeyDown));
    activeMode_ = nextMode_;
    return *activeMode_;
}

void SimPaletteKeyInterceptor::stop() {
    calls_.push_back("stop");
    if (handler_)
        *handler_ = nullptr; // nothing on its way arrives after a stop
    handler_.reset();
    activeMode_.reset();
}

bool SimPaletteKeyInterceptor::press(PaletteKey key) {
    if (!activeMode_ || *activeMode_ == Mode::unavailable)
        return false;
    // A key not wanted while intercepting is the application's alone, as on the desktop.
    if (*activeMode_ == Mode::intercepting && !wants(key))
        return false;
    asio::post(main_, [handler = handler_, key] {
        if (auto current = *handler)
            current(key);
    });
    return *activeMode_ == Mode::intercepting;
}

} // namespace pennial
