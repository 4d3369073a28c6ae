#pragma once
// Synthesised shortcuts on the simulated desktop: each is pressed on the simulated keyboard as
// Control plus its letter, so the focused field reacts as a real application would (select all;
// paste the clipboard's text over the selection) and key observers see it too.

#include "platform/keyboard.hpp"

#include <memory>
#include <mutex>
#include <vector>

namespace pennial {

class SimKeyboard;

class SimKeyboardSynthesizer final : public KeyboardSynthesizer {
public:
    explicit SimKeyboardSynthesizer(std::weak_ptr<SimKeyboard> keyboard);

    void post(Shortcut shortcut) override;

    // Every shortcut posted, in order.
    std::vector<Shortcut> posted() const;

private:
    std::weak_ptr<SimKeyboard> keyboard_;
    mutable std::mutex mutex_;
    std::vector<Shortcut> posted_;
};

} // namespace pennial
