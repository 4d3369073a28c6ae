#pragma once
// Control+A and Control+V typed into the focused application through the XTest extension, as if
// from the keyboard.

#include "platform/keyboard.hpp"

#include <memory>

namespace pennial {

class X11UserKeyHold;

class XTestKeyboardSynthesizer : public KeyboardSynthesizer {
public:
    XTestKeyboardSynthesizer();
    ~XTestKeyboardSynthesizer() override;

    // Whether the display offers XTest.
    static bool isAvailable();

    // Returns once the X server has processed the presses (not once the application has acted).
    void post(Shortcut shortcut) override;
    void holdUserKeys() override;
    void releaseUserKeys() override;

private:
    struct Connection;
    std::unique_ptr<Connection> connection_; // opened on first use
    std::unique_ptr<X11UserKeyHold> hold_;   // opened on first use
    bool holdOpened_ = false;
};

// Logs the implementation it chose.
std::unique_ptr<KeyboardSynthesizer> makeKeyboardSynthesizer();

} // namespace pennial
