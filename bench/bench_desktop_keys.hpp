#pragma once
// What the desktop benchmarks that type share: the Qt event loop (the coordinator's main thread)
// kept running while they wait, and keys pressed through XTest on a connection of their own.

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

// Last: Xlib's macros clash with the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace pennial::bench {

using namespace std::chrono_literals;

// Told how long each turn of the loop took while runUntil waits, when set (a benchmark of the
// loop's stalls watches them).
inline std::function<void(std::chrono::steady_clock::duration)> watchLoopTurns;

// Runs the Qt event loop until the condition holds; false when the time-out passed first.
inline bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QTimer tick; // wakes the loop up to look at the condition again
    tick.start(1);
    auto last = std::chrono::steady_clock::now();
    while (!condition()) {
        const auto now = std::chrono::steady_clock::now();
        if (watchLoopTurns)
            watchLoopTurns(now - last);
        last = now;
        if (now > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline void runFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    runUntil([&] { return std::chrono::steady_clock::now() >= end; }, duration + 1s);
}

class Keyboard {
public:
    Keyboard() : display_(XOpenDisplay(nullptr)) {
        if (!display_)
            throw std::runtime_error("no X display");
    }
    ~Keyboard() { XCloseDisplay(display_); }
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // Lower-case letters, digits, blanks, ';' and '\n', a key every 15 ms. Answers when the last
    // release reached the X server.
    std::chrono::steady_clock::time_point type(const std::string& text) {
        std::chrono::steady_clock::time_point released;
        for (char character : text) {
            runFor(15ms);
            const KeySym symbol = character == '\n' ? XK_Return : static_cast<KeySym>(character);
            const KeyCode code = XKeysymToKeycode(display_, symbol);
            XTestFakeKeyEvent(display_, code, True, CurrentTime);
            XTestFakeKeyEvent(display_, code, False, CurrentTime);
            XSync(display_, False);
            released = std::chrono::steady_clock::now();
        }
        return released;
    }

private:
    Display* display_;
};

} // namespace pennial::bench
