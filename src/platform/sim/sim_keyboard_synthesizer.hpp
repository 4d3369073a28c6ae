#pragma once
// Synthesised shortcuts on the simulated desktop: each is pressed on the simulated keyboard as
// Control plus its letter, so the focused field reacts as a real application would (select all;
// paste the clipboard's text over the selection) and key observers see it too.

#include "platform/keyboard.hpp"

#include <atomic>
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
    void prepare() override { ++prepared_; }
    bool ready() const override { return ready_; }
    void holdUserKeys() override;
    void releaseUserKeys() override;

    // A desktop that has not lent its keyboard (yet): shortcuts posted anyway still arrive.
    void setReady(bool ready) { ready_ = ready; }
    // How often the desktop was asked for its keyboard.
    int prepared() const { return prepared_; }

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
    std::atomic<bool> ready_{true};
    std::atomic<int> prepared_{0};
};

} // namespace pennial
