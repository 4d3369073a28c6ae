#pragma once
// The editor in tools/test_editor, run as another application by the desktop tests: its window
// active and the chosen field focused, driven through its stdin commands.

#include "platform/accessibility.hpp"

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pennial::desktop_support {

using namespace std::chrono_literals;

// Runs the Qt event loop (our own windows, clipboard and bus must keep answering) until the
// condition holds; false when the time-out passed first.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);
// Runs a command-line tool to its end; throws when it fails.
void runTool(const QString& program, const QStringList& arguments);

class TestEditor {
public:
    struct Options {
        const char* focus = "multi"; // "multi", "single" or "password"
        // What the one-line field's accessible interface offers: "editable", "read-only", "none".
        const char* accessibleText = "editable";
    };

    TestEditor() : TestEditor(Options{}) {}
    explicit TestEditor(const char* focus) : TestEditor(Options{focus}) {}
    explicit TestEditor(Options options);
    ~TestEditor();
    TestEditor(const TestEditor&) = delete;
    TestEditor& operator=(const TestEditor&) = delete;

    Pid pid() const { return static_cast<Pid>(process_.processId()); }
    // The focused field's text, as the editor itself has it.
    std::string text();
    bool waitForText(const std::string& expected, std::chrono::milliseconds timeout = 5s);
    // Every (type, data) the editor sees on the clipboard.
    std::vector<std::pair<std::string, std::string>> clipboard();
    // Puts text, HTML, an image and a private type on the clipboard.
    void copySample();
    // Adds text at the field's end without any accessibility report of the change.
    void appendUnreported(const std::string& text);
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

} // namespace pennial::desktop_support
