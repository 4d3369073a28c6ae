#pragma once
// What the desktop tests share: the Qt application and main executor, a keyboard driven through
// XTest, and the test editor running as another application.

#include "base/runtime.hpp"

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
bool available();
Executor mainExecutor();

// Runs the Qt event loop until the condition holds; false when the time-out passed first.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);
void pumpFor(std::chrono::milliseconds duration);
// Runs a command-line tool to its end; throws when it fails.
void runTool(const QString& program, const QStringList& arguments);

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

// The editor in tools/test_editor, focused, driven through its stdin commands.
class TestEditor {
public:
    explicit TestEditor(const char* focus = "multi");
    ~TestEditor();

    std::string text(); // the target field's
    bool waitForText(const std::string& expected);
    // Every (type, data) the editor sees on the clipboard.
    std::vector<std::pair<std::string, std::string>> clipboard();
    void copySample();

private:
    std::string command(const char* line);
    std::string readLine();

    QProcess process_;
};

} // namespace pennial::desktop
