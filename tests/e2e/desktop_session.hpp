#pragma once
// What the end-to-end tests share: the Qt application with the main executor posting into its
// event loop, waits that keep that loop running, keys typed through XTest, and the test editor
// running as another application, focused and driven through its stdin commands.

#include "platform/accessibility.hpp"
#include "platform/linux/qt_executor.hpp"

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pennial::e2e {

using namespace std::chrono_literals;

// False outside a desktop session (no $DISPLAY): the tests skip.
bool available();
// The application's main executor context; only while available().
QtExecutionContext& mainContext();

// Runs the Qt event loop until the condition holds; false when the time-out passed first.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);
void pumpFor(std::chrono::milliseconds duration);

// Types the text as the keyboard would (xdotool, through XTest).
void typeOnKeyboard(const std::string& text);

class TestEditor {
public:
    struct Options {
        const char* focus = "multi"; // "multi", "single" or "password"
        // What the one-line field's accessible interface offers: "editable", "read-only", "none".
        const char* accessibleText = "editable";
    };

    TestEditor();
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

private:
    std::string command(const char* line);
    std::string readLine();

    QProcess process_;
};

} // namespace pennial::e2e
