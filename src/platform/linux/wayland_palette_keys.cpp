#include "platform/linux/wayland_palette_keys.hpp"

#include <utility>

namespace pennial {

WaylandPaletteKeys::WaylandPaletteKeys(std::unique_ptr<PaletteKeyInterceptor> devices,
                                       std::unique_ptr<AtspiEscapeReports> escapes)
    : devices_(std::move(devices)), escapes_(std::move(escapes)) {}

PaletteKeyInterceptor::Mode WaylandPaletteKeys::start(std::function<void(PaletteKey)> onKeyDown) {
    if (devices_) {
        const auto mode = devices_->start(onKeyDown);
        devicesStarted_ = mode != Mode::unavailable;
        if (devicesStarted_)
            return mode;
    }
    if (escapes_)
        escapes_->start([onKeyDown = std::move(onKeyDown)] { onKeyDown(PaletteKey::escape); });
    return Mode::unavailable;
}

void WaylandPaletteKeys::stop() {
    if (std::exchange(devicesStarted_, false))
        devices_->stop();
    if (escapes_)
        escapes_->stop();
}

} // namespace pennial
