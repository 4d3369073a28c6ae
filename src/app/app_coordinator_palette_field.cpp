// Where the palette's keys can be neither taken from the application nor seen (a Wayland session
// whose keyboards this user may not read), nothing tells the palette that the user has gone on
// without it: Escape, a click elsewhere and the arrow keys all go to the application alone. The
// palette follows the field instead and closes once the focus leaves the field it opened over or
// the caret leaves the end of the typed trigger, seen on two looks in a row (the first may come
// before the text monitor has caught up with the typing). A line on it says a click is the way.

#include "app/app_coordinator.hpp"
#include "base/log.hpp"
#include "base/task.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/ax_reads.hpp"
#include "text/run_on.hpp"

namespace pennial {

namespace {

constexpr const char* unseenKeysNote = "Click to run: keys stay in the field";

} // namespace

Awaitable<void> AppCoordinator::watchPaletteField(std::weak_ptr<AppCoordinator> weak,
                                                  std::uint64_t session,
                                                  std::chrono::steady_clock::duration interval) {
    PaletteFieldLooks looks{session, {}, {}};
    while (co_await sleepFor(interval) != SleepResult::cancelled) {
        auto self = weak.lock();
        if (!self || !co_await self->lookAtPaletteField(looks))
            break;
    }
    if (auto self = weak.lock(); self && self->watchedPaletteSession_ == session)
        self->watchedPaletteSession_.reset();
}

bool AppCoordinator::arePaletteKeysUnseen() const {
    return paletteKeyController_ &&
           paletteKeyController_->state() == PaletteKeyController::State::unseen;
}

std::string AppCoordinator::paletteNote() const {
    return arePaletteKeysUnseen() ? unseenKeysNote : "";
}

void AppCoordinator::followPaletteField() {
    if (!arePaletteKeysUnseen() || watchedPaletteSession_ == paletteSession_)
        return;
    watchedPaletteSession_ = paletteSession_;
    startTask(
        watchPaletteField(weak_from_this(), paletteSession_, timings_.paletteFieldWatchInterval));
}

Awaitable<bool> AppCoordinator::lookAtPaletteField(PaletteFieldLooks& looks) {
    auto stillOpen = [this, session = looks.session] {
        return paletteSession_ == session && activeTriggerFullPattern_ && !isTransformInProgress_;
    };
    if (!stillOpen())
        co_return false;
    auto shown = std::pair(*activeTriggerFullPattern_, activeTriggerOffset_);
    std::optional<AccessibleElement> focused;
    std::optional<AXRange> selection;
    try {
        focused = co_await accessibilityProvider_->getFocusedElement();
        if (focused && (!looks.field || *focused == *looks.field))
            selection = co_await selectedRange(*focused);
    } catch (...) {
        // No focus to be found: the user is not in the field either.
        if (isCancellation(std::current_exception()))
            throw;
    }
    if (!stillOpen())
        co_return false;
    if (!looks.field)
        looks.field = focused;
    const bool sameField = focused && looks.field && *focused == *looks.field;
    // A caret that cannot be read is given the benefit of the doubt.
    const auto triggerEnd = [&] {
        return *shown.second + static_cast<long long>(unicode::utf16Length(shown.first));
    };
    const bool atTrigger =
        sameField && (!selection || !shown.second ||
                      (selection->length == 0 && selection->location == triggerEnd()));
    if (atTrigger || looks.goneOnFrom != shown) {
        looks.goneOnFrom = atTrigger ? std::nullopt : std::optional(std::move(shown));
        co_return true;
    }
    logLine(sameField ? "⌨️ [Pennial] Palette closed: the caret left the trigger"
                      : "⌨️ [Pennial] Palette closed: the focus left the field");
    clearPaletteState();
    co_return false;
}

} // namespace pennial
