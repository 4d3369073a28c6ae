#include "platform/linux/atspi/atspi_late_selection.hpp"

#include <chrono>
#include <thread>

namespace pennial {

namespace {
constexpr int selectionLooks = 25;
constexpr std::chrono::milliseconds selectionLookPause{10};
} // namespace

void awaitSelectionMade(const AtspiToolkit& toolkit, const std::function<bool()>& made) {
    if (!toolkit.makesSelectionsLate)
        return;
    for (int look = 0; look < selectionLooks && !made(); ++look)
        std::this_thread::sleep_for(selectionLookPause);
}

} // namespace pennial
