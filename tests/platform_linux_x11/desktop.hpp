#pragma once
// What the desktop tests share: the Qt application and main executor, a keyboard driven through
// XTest, and the test editor running as another application.

#include "base/runtime.hpp"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pennial::desktop {

using namespace std::chrono_literals;

// False outside a desktop session (no $DISPLAY): the tests skip.
bool available();

Executor mainExecutor();

// Runs a command-line tool to its end; throws when it fails.
void runTool(const QString& program, const QStringList& arguments);

// Runs the Qt event loop until the condition holds; false when the time-out passed first.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);
// Runs the Qt event loop for a while (to see that something does not happen).
void pumpFor(std::chrono::milliseconds duration);

// Key presses as from the hardware keyboard, through XTest, by keysym name ("Return", "a").
class Keyboard {
public:
    void press(const char* key);
    void release(const char* key);
    void tap(const char* key);
    void chord(std::initializer_list<const char*> modifiers, const char* key);
    // Each character through its key and Shift level (xdotool).
    void type(const std::string& text);
};

// A lock key (Caps_Lock, Num_Lock) switched on for the life of the object.
class LockKeyOn {
public:
    explicit LockKeyOn(const char* key) : key_(key) { Keyboard().tap(key_); }
    ~LockKeyOn() { Keyboard().tap(key_); }
    LockKeyOn(const LockKeyOn&) = delete;
    LockKeyOn& operator=(const LockKeyOn&) = delete;

private:
    const char* key_;
};

// Another client's passive grab of a key (without modifiers) on the root window, while it lives.
class ForeignKeyGrab {
public:
    explicit ForeignKeyGrab(const char* key);
    ~ForeignKeyGrab();
    ForeignKeyGrab(const ForeignKeyGrab&) = delete;
    ForeignKeyGrab& operator=(const ForeignKeyGrab&) = delete;

private:
    struct Client;
    std::unique_ptr<Client> client_;
};

// Changes the keyboard layout for the life of the object.
class KeyboardLayout {
public:
    explicit KeyboardLayout(const char* layout);
    ~KeyboardLayout();
};

// The editor in tools/test_editor, focused, driven through its stdin commands.
class TestEditor {
public:
    explicit TestEditor(const char* focus = "multi");
    ~TestEditor();

    // The target field's text.
    std::string text();
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
