// The palette's keys while it is shown: Up and Down move the selection over the enabled rows,
// Return and keypad Enter run the selected command, Tab completes its name in the field, Escape
// closes the palette.

#include "app/app_coordinator.hpp"
#include "app/palette_completion.hpp"
#include "app/palette_suggestions.hpp"
#include "base/error_text.hpp"
#include "base/log.hpp"
#include "services/config_service.hpp"
#include "text/accessibility_error.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/text_processing.hpp"

#include <asio/post.hpp>

namespace pennial {

void AppCoordinator::startPaletteKeyboardControl() {
    if (!paletteKeyController_)
        paletteKeyController_.emplace(paletteKeyInterceptor_);
    paletteKeyController_->start([weak = weak_from_this(), main = main_](PaletteKey key) {
        // The action runs after the key's delivery has returned, and reads the palette then.
        asio::post(main, [weak, key] {
            if (auto self = weak.lock())
                self->handlePaletteKeyCode(key);
        });
    });
}

void AppCoordinator::stopPaletteKeyControl() {
    if (paletteKeyController_)
        paletteKeyController_->stop();
}

void AppCoordinator::updateWantedPaletteKeys() {
    if (!paletteKeyInterceptor_)
        return;
    // An empty palette has nothing to move to or run: a Return typed after a word that matches
    // no command is the field's line break. Escape still closes it.
    PaletteKeySet keys = 0;
    if (!isTransformInProgress_ && activeTriggerFullPattern_)
        keys = activeSuggestions_.empty() ? paletteKeyBit(PaletteKey::escape) : allPaletteKeys;
    paletteKeyInterceptor_->setWantedKeys(keys);
}

void AppCoordinator::givePaletteKeysBack() {
    if (paletteKeyInterceptor_)
        paletteKeyInterceptor_->setWantedKeys(0);
}

void AppCoordinator::handlePaletteKeyCode(PaletteKey key) {
    if (spinnerDesignModeAlwaysOn_ || isTransformInProgress_ || !activeTriggerFullPattern_)
        return;
    const auto selected = [this]() -> const TemplateSuggestion* {
        const auto index = static_cast<std::size_t>(selectedSuggestionIndex_);
        if (index >= activeSuggestions_.size() || activeSuggestions_[index].isDisabled)
            return nullptr;
        return &activeSuggestions_[index];
    };
    switch (key) {
    case PaletteKey::returnKey:
    case PaletteKey::keypadEnter:
        if (const auto* row = selected())
            startPaletteTask(
                handleTrigger(row->name, *activeTriggerFullPattern_, activeTriggerOffset_));
        return;
    case PaletteKey::tab:
        if (const auto* row = selected())
            startPaletteTask(completeTriggerWithSelectedCommand(row->name));
        return;
    case PaletteKey::escape:
        clearPaletteState();
        return;
    case PaletteKey::down:
    case PaletteKey::up:
        if (activeSuggestions_.empty())
            return;
        selectedSuggestionIndex_ = nextEnabledIndex(activeSuggestions_, selectedSuggestionIndex_,
                                                    key == PaletteKey::down ? 1 : -1);
        refreshPalette();
        return;
    }
}

Awaitable<void> AppCoordinator::completeTriggerWithSelectedCommand(std::string commandName) {
    if (!activeTriggerFullPattern_)
        co_return;
    const std::string typedPattern = *activeTriggerFullPattern_;
    try {
        auto element = co_await accessibilityProvider_->getFocusedElement();
        if (!element)
            throw AccessibilityError(AccessibilityError::Kind::noFocusedElement);
        const auto value = co_await accessibilityProvider_->getValue(*element);
        // Nothing loaded: the monitor's own pattern, which is what the user has been typing.
        const auto triggerPattern = co_await configService_->getTriggerPattern();
        const auto completed =
            TextProcessing::completedPattern(triggerPattern, typedPattern, commandName);
        auto newValue = textWithCompletedTrigger(value, typedPattern, completed);
        // Over the text the completion was made from only: a key typed meanwhile stays.
        co_await accessibilityProvider_->setValue(std::move(newValue), std::move(*element), value);
    } catch (...) {
        const auto error = std::current_exception();
        if (isCancellation(error))
            throw;
        logf("⚠️ [Pennial] Tab completion failed: {}", describeError(error));
    }
}

} // namespace pennial
