#include "nested_display.hpp"

#include "desktop_support/test_editor.hpp"

#include <QTemporaryFile>
#include <chrono>
#include <stdexcept>
#include <thread>

// Xlib's macros clash with GoogleTest's: no gtest here.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace pennial::desktop {

using namespace std::chrono_literals;

namespace {

void fakeKey(Display* display, const char* key, bool press) {
    const KeyCode keycode = XKeysymToKeycode(display, XStringToKeysym(key));
    if (keycode == 0)
        throw std::runtime_error(std::string("no key for ") + key);
    XTestFakeKeyEvent(display, keycode, press ? True : False, CurrentTime);
    XSync(display, False);
}

} // namespace

struct NestedDisplay::Window {
    Display* outer = nullptr;
    Display* inner = nullptr; // the window's own connection
    Display* program = nullptr;
    ::Window window = 0;

    ~Window() {
        for (Display* display : {outer, inner, program})
            if (display)
                XCloseDisplay(display);
    }
};

NestedDisplay::NestedDisplay() {
    QTemporaryFile displayFile;
    if (!displayFile.open())
        return;
    // Xnest writes its display's number to a descriptor: the file, opened again as the child's
    // standard output.
    server_.setStandardOutputFile(displayFile.fileName());
    server_.start("Xnest", {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-ac", "-geometry",
                            "400x300+0+0"});
    QByteArray number;
    desktop_support::waitUntil(
        [&] {
            displayFile.seek(0);
            number = displayFile.readAll().trimmed();
            return !number.isEmpty() || server_.state() == QProcess::NotRunning;
        },
        10s);
    if (number.isEmpty())
        return;
    auto window = std::make_unique<Window>();
    const std::string nested = ":" + number.toStdString();
    window->outer = XOpenDisplay(nullptr);
    window->inner = XOpenDisplay(nested.c_str());
    window->program = XOpenDisplay(nested.c_str());
    if (!window->outer || !window->inner || !window->program)
        return;
    // Without a window manager outside, the keyboard's focus follows the pointer: onto the Xnest.
    XTestFakeMotionEvent(window->outer, -1, 200, 150, CurrentTime);
    XSync(window->outer, False);
    Display* inner = window->inner;
    window->window = XCreateSimpleWindow(inner, DefaultRootWindow(inner), 0, 0, 400, 300, 0, 0, 0);
    XSelectInput(inner, window->window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(inner, window->window);
    for (XEvent event; XWindowEvent(inner, window->window, StructureNotifyMask, &event),
                       event.type != MapNotify;) {
    }
    XSetInputFocus(inner, window->window, RevertToParent, CurrentTime);
    XSync(inner, False);
    window_ = std::move(window);
    name_ = nested;
}

NestedDisplay::~NestedDisplay() {
    window_.reset();
    server_.terminate();
    server_.waitForFinished();
}

void NestedDisplay::handsPress(const char* key) {
    fakeKey(window_->outer, key, true);
}

void NestedDisplay::handsRelease(const char* key) {
    fakeKey(window_->outer, key, false);
}

void NestedDisplay::handsTap(const char* key) {
    handsPress(key);
    handsRelease(key);
}

void NestedDisplay::programTaps(const char* key) {
    fakeKey(window_->program, key, true);
    fakeKey(window_->program, key, false);
}

void NestedDisplay::programReleases(const char* key) {
    fakeKey(window_->program, key, false);
}

std::string NestedDisplay::typed() {
    // The outer server has passed on every key once it answers; the nested one, once it does.
    XSync(window_->outer, False);
    std::this_thread::sleep_for(100ms);
    Display* inner = window_->inner;
    XSync(inner, False);
    while (XPending(inner) > 0) {
        XEvent event;
        XNextEvent(inner, &event);
        if (event.type != KeyPress)
            continue;
        char text[16] = {};
        const int length = XLookupString(&event.xkey, text, sizeof text, nullptr, nullptr);
        typed_.append(text, static_cast<std::size_t>(std::max(length, 0)));
    }
    return typed_;
}

} // namespace pennial::desktop
