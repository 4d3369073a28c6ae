#pragma once
// What the desktop tests share: the application object, the test editor running as another
// application (focused, typed into through XTest), and coroutines run to their end on an
// io_context standing in for the main thread.

#include "platform/accessibility.hpp"

#include <QProcess>
#include <chrono>
#include <functional>
#include <string>

namespace pennial::desktop {

using namespace std::chrono_literals;

// False outside a desktop session (no $DISPLAY): the tests skip.
bool available();

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);

// Types the text as the keyboard would, through XTest.
void typeOnKeyboard(const std::string& text);

// The editor in tools/test_editor, its window active and the chosen field focused.
class TestEditor {
public:
    // focus: "multi", "single" or "password".
    explicit TestEditor(const char* focus = "multi");
    ~TestEditor();
    TestEditor(const TestEditor&) = delete;
    TestEditor& operator=(const TestEditor&) = delete;

    Pid pid() const { return static_cast<Pid>(process_.processId()); }
    // The focused field's text, as the editor itself reports it.
    std::string text();
    bool waitForText(const std::string& expected);
    // Makes its window the active one again, with the field focused.
    void activate();
    // Stops or continues the process (SIGSTOP, SIGCONT).
    void pause();
    void resume();

private:
    std::string command(const char* line);
    std::string readLine();

    QProcess process_;
};

} // namespace pennial::desktop
