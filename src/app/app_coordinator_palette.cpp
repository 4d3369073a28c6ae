// The command palette's rows: each query update of the monitor turns the configured commands into
// rows shown at the notch, with the selection kept valid; a clicked row runs its command. The
// palette closes when the trigger goes, the app's own window is in front, or another application
// is activated.

#include "app/app_coordinator.hpp"
#include "app/palette_suggestions.hpp"
#include "services/config_service.hpp"
#include "text/ax_accessibility_provider.hpp"

namespace pennial {

namespace {
Awaitable<void> keepingAlive(std::shared_ptr<AppCoordinator>, Awaitable<void> body) {
    co_await std::move(body);
}
} // namespace

Awaitable<void> AppCoordinator::handleTriggerQueryUpdate(std::optional<std::string> fullPattern,
                                                         std::string query,
                                                         std::optional<long long> triggerOffset,
                                                         bool hasTextBeforeTrigger) {
    if (spinnerDesignModeAlwaysOn_ || isTransformInProgress_)
        co_return;
    if (shouldSuppressTriggerInOwnUI() || !fullPattern) {
        clearPaletteState();
        co_return;
    }
    if (!activeTriggerFullPattern_)
        ++paletteSession_;
    activeTriggerFullPattern_ = fullPattern;
    activeTriggerOffset_ = triggerOffset;
    activeTriggerQuery_ = normalizedPaletteQuery(query);

    const auto commands = co_await configService_->getAllCommands();
    if (!isPaletteStillFor(*fullPattern))
        co_return;
    activeSuggestions_ = paletteSuggestions(commands, activeTriggerQuery_, hasTextBeforeTrigger);
    selectedSuggestionIndex_ = clampedSelectionIndex(selectedSuggestionIndex_, activeSuggestions_);
    updateWantedPaletteKeys();
    startPaletteKeyboardControl();
    followPaletteField();

    const auto caret = co_await caretScreenPosition();
    if (isPaletteStillFor(*fullPattern))
        showPalette(caret);
}

void AppCoordinator::refreshPalette() {
    if (activeTriggerFullPattern_)
        startPaletteTask(refreshPaletteTask(*activeTriggerFullPattern_));
}

Awaitable<void> AppCoordinator::refreshPaletteTask(std::string fullPattern) {
    const auto caret = co_await caretScreenPosition();
    if (isPaletteStillFor(fullPattern))
        showPalette(caret);
}

bool AppCoordinator::isPaletteStillFor(const std::string& fullPattern) const {
    // A palette shown over the processing card, or brought back after Escape, would stay up with
    // nothing driving it.
    return !isTransformInProgress_ && activeTriggerFullPattern_ == fullPattern;
}

void AppCoordinator::showPalette(std::optional<Point> caret) {
    spinner_->setPaletteNote(paletteNote());
    spinner_->showCommandPalette(activeSuggestions_, activeTriggerQuery_, selectedSuggestionIndex_,
                                 caret, rowSelectionHandler(activeTriggerFullPattern_.value_or("")),
                                 screens_->mainScreen());
}

SpinnerOverlay::SelectHandler AppCoordinator::rowSelectionHandler(std::string fullPattern) {
    return
        [weak = weak_from_this(), fullPattern = std::move(fullPattern)](const std::string& name) {
            auto self = weak.lock();
            if (!self)
                return;
            // Read at the click: the trigger may have gone since the row was shown.
            auto pattern = self->activeTriggerFullPattern_.value_or(fullPattern);
            self->startPaletteTask(
                self->handleTrigger(name, std::move(pattern), self->activeTriggerOffset_));
        };
}

Awaitable<std::optional<Point>> AppCoordinator::caretScreenPosition() {
    std::optional<Point> caret;
    try {
        if (auto element = co_await accessibilityProvider_->getFocusedElement())
            caret = co_await accessibilityProvider_->getCaretPosition(std::move(*element));
    } catch (...) {
        // Without a caret the overlay places itself; only a cancellation goes on.
        if (isCancellation(std::current_exception()))
            throw;
    }
    co_return caret;
}

void AppCoordinator::cancelPaletteOnAppSwitch() {
    if (activeTriggerFullPattern_)
        clearPaletteState();
}

void AppCoordinator::clearPaletteState() {
    activeTriggerFullPattern_.reset();
    activeTriggerOffset_.reset();
    activeTriggerQuery_.clear();
    activeSuggestions_.clear();
    selectedSuggestionIndex_ = 0;
    updateWantedPaletteKeys();
    stopPaletteKeyControl();
    spinner_->hide();
}

void AppCoordinator::startPaletteTask(Awaitable<void> body) {
    startTask(keepingAlive(shared_from_this(), std::move(body)));
}

} // namespace pennial
