#pragma once
// Synthesised shortcuts on the simulated desktop: each is pressed on the simulated keyboard as
// Control plus its letter, so the focused field reacts as a real application would (select all;
// paste the clipboard's text over the selection) and key observers see it too.

#include "platform/keyboard.hpp"

#include <functional>
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
    // Runs as each shortcut is posted, before it reaches the field: what the user does there
    // happens between the program's last look at the field and its keys.
    void setBeforeKey(std::function<void(Shortcut)> beforeKey);

private:
    std::weak_ptr<SimKeyboard> keyboard_;
    mutable std::mutex mutex_;
    std::vector<Shortcut> posted_;
    std::function<void(Shortcut)> beforeKey_;
};

} // namespace pennial
