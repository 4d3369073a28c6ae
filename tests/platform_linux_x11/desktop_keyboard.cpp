#include "desktop.hpp"

#include <stdexcept>

// Xlib's macros (None, Bool, Status...) clash with GoogleTest's: no gtest here.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace pennial::desktop {

namespace {

void sendKey(const char* key, bool press) {
    // A connection of its own each time, so a changed layout is always seen.
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("no X display");
    const KeyCode keycode = XKeysymToKeycode(display, XStringToKeysym(key));
    if (keycode != 0)
        XTestFakeKeyEvent(display, keycode, press ? True : False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
    if (keycode == 0)
        throw std::runtime_error(std::string("no key for ") + key);
}

} // namespace

void Keyboard::press(const char* key) {
    sendKey(key, true);
}
void Keyboard::release(const char* key) {
    sendKey(key, false);
}

void Keyboard::tap(const char* key) {
    press(key);
    release(key);
}

void Keyboard::chord(std::initializer_list<const char*> modifiers, const char* key) {
    for (const char* modifier : modifiers)
        press(modifier);
    tap(key);
    for (const char* modifier : modifiers)
        release(modifier);
}

void Keyboard::type(const std::string& text) {
    runTool("xdotool", {"type", "--delay", "5", "--", QString::fromStdString(text)});
}

Restore lockKeyOn(const char* key) {
    Keyboard().tap(key);
    return Restore([key] { Keyboard().tap(key); });
}

Restore keyboardLayout(const char* layout) {
    runTool("setxkbmap", {layout});
    return Restore([] { QProcess::execute("setxkbmap", {"us"}); });
}

Restore grabKeyElsewhere(const char* key) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("no X display");
    const KeyCode keycode = XKeysymToKeycode(display, XStringToKeysym(key));
    XGrabKey(display, keycode, 0, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    return Restore([display] { XCloseDisplay(display); }); // which ends its grabs
}

} // namespace pennial::desktop
