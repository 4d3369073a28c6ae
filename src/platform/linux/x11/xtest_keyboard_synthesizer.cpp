#include "platform/linux/x11/xtest_keyboard_synthesizer.hpp"

#include "base/log.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_keymap.hpp"
#include "platform/linux/x11/x11_user_key_hold.hpp"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace pennial {

namespace {

// Longer than the slowest keyboard paste holds the keys (its waits for the paste, a repair and a
// dropped selection add up to seconds under load): let go while our selection stands, the held
// keys would replace it. A hold that lasts this long is a program stuck, and the keyboard goes
// back to the user.
constexpr std::chrono::milliseconds longestHold{10000};

bool hasXTest(Display* display) {
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    return XTestQueryExtension(display, &event, &error, &major, &minor);
}

void sendKey(Display* display, unsigned keycode, bool press) {
    XTestFakeKeyEvent(display, keycode, press ? True : False, CurrentTime);
}

} // namespace

// Used on the calling (main) thread only: no events are read from it.
struct XTestKeyboardSynthesizer::Connection {
    DisplayHandle display;

    // Releases every modifier key still held (the user's Shift, Alt, Super...), so the shortcut
    // arrives as Control+letter and not, say, Control+Shift+V. Lock keys are left alone: releasing
    // a held Caps Lock could toggle it.
    void releaseHeldModifiers() {
        Display* d = display.get();
        char pressed[32] = {};
        XQueryKeymap(d, pressed);
        for (const unsigned keycode : modifierKeysButLocks(d))
            if (pressed[keycode / 8] & (1 << (keycode % 8)))
                sendKey(d, keycode, false);
    }
};

XTestKeyboardSynthesizer::XTestKeyboardSynthesizer() = default;
XTestKeyboardSynthesizer::~XTestKeyboardSynthesizer() = default;

bool XTestKeyboardSynthesizer::isAvailable() {
    DisplayHandle display = openDisplay();
    return display && hasXTest(display.get());
}

void XTestKeyboardSynthesizer::post(Shortcut shortcut) {
    if (!connection_) {
        DisplayHandle display = openDisplay();
        if (!display || !hasXTest(display.get()))
            return;
        connection_ = std::make_unique<Connection>(Connection{std::move(display)});
    }
    Display* display = connection_->display.get();
    const X11Keymap keymap(display);
    const bool extend = shortcut == Shortcut::extendSelection;
    const unsigned modifier = keymap.keycodeFor(extend ? XK_Shift_L : XK_Control_L);
    const unsigned key = keymap.keycodeFor(extend                            ? XK_Right
                                           : shortcut == Shortcut::selectAll ? XK_a
                                                                             : XK_v);
    if (modifier == 0 || key == 0)
        return;

    connection_->releaseHeldModifiers();
    sendKey(display, modifier, true);
    sendKey(display, key, true);
    sendKey(display, key, false);
    sendKey(display, modifier, false);
    XSync(display, False);
}

void XTestKeyboardSynthesizer::holdUserKeys() {
    if (!holdOpened_) {
        holdOpened_ = true;
        hold_ = X11UserKeyHold::open(longestHold);
    }
    if (hold_)
        hold_->hold();
}

void XTestKeyboardSynthesizer::releaseUserKeys() {
    if (hold_)
        hold_->release();
}

std::unique_ptr<KeyboardSynthesizer> makeKeyboardSynthesizer() {
    if (XTestKeyboardSynthesizer::isAvailable())
        logLine("🔵 [Platform] Using XTest for synthesised shortcuts");
    else
        logLine("⚠️ [Platform] XTest is not available; shortcuts cannot be synthesised");
    return std::make_unique<XTestKeyboardSynthesizer>();
}

} // namespace pennial
