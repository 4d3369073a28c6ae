#include "platform/sim/sim_keyboard_synthesizer.hpp"

#include "platform/sim/sim_keyboard.hpp"

namespace pennial {

SimKeyboardSynthesizer::SimKeyboardSynthesizer(std::weak_ptr<SimKeyboard> keyboard)
    : keyboard_(std::move(keyboard)) {}

void SimKeyboardSynthesizer::post(Shortcut shortcut) {
    std::function<void(Shortcut)> beforeKey;
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(shortcut);
        beforeKey = beforeKey_;
    }
    if (beforeKey)
        beforeKey(shortcut);
    auto keyboard = keyboard_.lock();
    if (keyboard && shortcut == Shortcut::extendSelection)
        keyboard->pressByProgram(Key::rightArrow, KeyModifier::shift, "");
    else if (keyboard)
        keyboard->pressByProgram(Key::other, KeyModifier::control,
                                 shortcut == Shortcut::selectAll ? "a" : "v");
}

void SimKeyboardSynthesizer::holdUserKeys() {
    if (auto keyboard = keyboard_.lock())
        keyboard->hold();
}

void SimKeyboardSynthesizer::releaseUserKeys() {
    if (auto keyboard = keyboard_.lock())
        keyboard->release();
}

void SimKeyboardSynthesizer::setBeforeKey(std::function<void(Shortcut)> beforeKey) {
    std::lock_guard lock(mutex_);
    beforeKey_ = std::move(beforeKey);
}

std::vector<Shortcut> SimKeyboardSynthesizer::posted() const {
    std::lock_guard lock(mutex_);
    return posted_;
}

} // namespace pennial
