#pragma once
// The palette's keys in a Wayland session, where no client may take them: watched on the input
// devices where this user may read them; else not seen at all, save the Escape that GTK 3 and Qt
// applications report of themselves, which still closes the palette.

#include "platform/keyboard.hpp"
#include "platform/linux/atspi/atspi_escape_reports.hpp"

#include <memory>

namespace pennial {

class WaylandPaletteKeys : public PaletteKeyInterceptor {
public:
    WaylandPaletteKeys(std::unique_ptr<PaletteKeyInterceptor> devices,
                       std::unique_ptr<AtspiEscapeReports> escapes);

    // Observing with the devices; unavailable without them, Escape reported all the same.
    Mode start(std::function<void(PaletteKey)> onKeyDown) override;
    void stop() override;

private:
    std::unique_ptr<PaletteKeyInterceptor> devices_;
    std::unique_ptr<AtspiEscapeReports> escapes_;
    bool devicesStarted_ = false;
};

} // namespace pennial
