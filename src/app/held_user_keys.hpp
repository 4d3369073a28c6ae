#pragma once
// The user's keys held back from a selection of ours until the paste over it has been judged: a
// key typed meanwhile would replace the selection, or land before the pasted text. Released at the
// latest when it goes (an error, a cancelled run).

#include "platform/keyboard.hpp"

#include <memory>
#include <utility>

namespace pennial {

class HeldUserKeys {
public:
    explicit HeldUserKeys(std::shared_ptr<KeyboardSynthesizer> keyboard)
        : keyboard_(std::move(keyboard)) {
        keyboard_->holdUserKeys();
    }
    ~HeldUserKeys() { release(); }
    HeldUserKeys(const HeldUserKeys&) = delete;
    HeldUserKeys& operator=(const HeldUserKeys&) = delete;

    // The keys typed meanwhile reach the application now, after whatever we sent it.
    void release() {
        if (keyboard_)
            std::exchange(keyboard_, nullptr)->releaseUserKeys();
    }

private:
    std::shared_ptr<KeyboardSynthesizer> keyboard_;
};

} // namespace pennial
