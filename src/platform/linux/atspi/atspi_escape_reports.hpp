#pragma once
// Escape as the focused application itself reports it on the accessibility bus: where no client
// may read the keyboard (Wayland, outside the input group), GTK 3 and Qt applications still hand
// each key to the bus's listeners, so the palette can close on an Escape typed in the field. Asked
// for only while started: each listener makes every such application report every key. GTK 4
// reports none. Any thread.

#include "base/runtime.hpp"

#include <functional>
#include <memory>

namespace pennial {

class AtspiEscapeReports {
public:
    explicit AtspiEscapeReports(Executor main);
    ~AtspiEscapeReports();
    AtspiEscapeReports(const AtspiEscapeReports&) = delete;
    AtspiEscapeReports& operator=(const AtspiEscapeReports&) = delete;

    // onEscape runs on main for each Escape pressed from now until stop.
    void start(std::function<void()> onEscape);
    void stop();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace pennial
