#pragma once
// What the desktop tests share: the Qt application and main executor, a keyboard driven through
// XTest, and the test editor running as another application.

#include "base/runtime.hpp"
#include "desktop_support/qt_session.hpp"
#include "desktop_support/test_editor.hpp"

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace pennial::desktop {

using namespace std::chrono_literals;

// False outside a desktop session (no $DISPLAY): the tests skip.
inline bool available() {
    return desktop_support::hasDisplay();
}
Executor mainExecutor();

using desktop_support::pumpFor;
using desktop_support::runTool;
using desktop_support::waitUntil;

// Key presses as from the hardware keyboard, through XTest, by keysym name ("Return", "a").
struct Keyboard {
    void press(const char* key);
    void release(const char* key);
    void tap(const char* key);
    void chord(std::initializer_list<const char*> modifiers, const char* key);
    void type(const std::string& text); // each character with its Shift level (xdotool)
};

// Undoes a change to the session when it goes.
class Restore {
public:
    explicit Restore(std::function<void()> undo) : undo_(std::move(undo)) {}
    ~Restore() { undo_(); }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    std::function<void()> undo_;
};

[[nodiscard]] Restore lockKeyOn(const char* key); // Caps_Lock, Num_Lock
[[nodiscard]] Restore keyboardLayout(const char* layout);
// Another client's grab of the bare key on the root window.
[[nodiscard]] Restore grabKeyElsewhere(const char* key);

using desktop_support::TestEditor;

} // namespace pennial::desktop
