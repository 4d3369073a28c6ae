#include "desktop.hpp"

#include <QProcess>
#include <QStringList>
#include <stdexcept>

// Xlib's macros (None, Bool, Status...) clash with GoogleTest's: no gtest here.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace pennial::desktop {

namespace {

void sendKey(const char* key, bool press) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("no X display");
    const KeySym keysym = XStringToKeysym(key);
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (keycode == 0) {
        XCloseDisplay(display);
        throw std::runtime_error(std::string("no key for ") + key);
    }
    XTestFakeKeyEvent(display, keycode, press ? True : False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
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

struct ForeignKeyGrab::Client {
    Display* display;
    KeyCode keycode;
};

ForeignKeyGrab::ForeignKeyGrab(const char* key) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("no X display");
    const KeyCode keycode = XKeysymToKeycode(display, XStringToKeysym(key));
    XGrabKey(display, keycode, 0, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    client_ = std::make_unique<Client>(Client{display, keycode});
}

ForeignKeyGrab::~ForeignKeyGrab() {
    XUngrabKey(client_->display, client_->keycode, 0, DefaultRootWindow(client_->display));
    XCloseDisplay(client_->display);
}

KeyboardLayout::KeyboardLayout(const char* layout) {
    runTool("setxkbmap", {layout});
}
KeyboardLayout::~KeyboardLayout() {
    QProcess::execute("setxkbmap", {"us"});
}

} // namespace pennial::desktop
