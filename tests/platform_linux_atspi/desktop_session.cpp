#include "desktop_session.hpp"

#include <QApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>

// Once a widget of ours is shown, Qt's accessibility bridge connects to the session bus and
// keeps that connection's objects to the end: not ours to free. Telling them apart takes the
// whole stack, through libraries built without frame pointers.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6DBus.so\n";
}

namespace pennial::desktop {

namespace {

// The application object, for the whole test program: the screens and own windows need one.
class Session : public ::testing::Environment {
public:
    void SetUp() override {
        if (!available())
            return;
        qputenv("QT_QPA_PLATFORM", "xcb");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "platform_atspi_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* session = ::testing::AddGlobalTestEnvironment(new Session);

QString editorPath() {
    if (const char* path = std::getenv("PENNIAL_TEST_EDITOR"))
        return QString::fromLocal8Bit(path);
    // build/<preset>/tests/<this program> -> build/<preset>/tools/test_editor/...
    const QString tests = QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2);
    return tests + "/../tools/test_editor/pennial_test_editor";
}

void runTool(const QString& program, const QStringList& arguments) {
    if (QProcess::execute(program, arguments) != 0)
        throw std::runtime_error(program.toStdString() + " failed");
}

} // namespace

bool available() {
    return std::getenv("DISPLAY") != nullptr;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return condition();
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

void typeOnKeyboard(const std::string& text) {
    runTool("xdotool", {"type", "--delay", "1", QString::fromStdString(text)});
}

TestEditor::TestEditor(const char* focus) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(editorPath(), {QString("--focus=") + focus, "--stdin-commands"});
    if (!process_.waitForStarted(5000) || readLine() != "ready")
        throw std::runtime_error("the test editor did not start");
    activate();
}

TestEditor::~TestEditor() {
    resume();
    process_.write("quit\n");
    if (!process_.waitForFinished(5000))
        process_.kill();
}

void TestEditor::activate() {
    // The window manager may still be starting, or call the window active before the editor has
    // its focus: ask again until the editor says it has it.
    const QStringList arguments = {"search",
                                   "--sync",
                                   "--all",
                                   "--pid",
                                   QString::number(process_.processId()),
                                   "--name",
                                   "Pennial Test Editor",
                                   "windowactivate",
                                   "--sync"};
    for (int attempt = 0; attempt < 20; ++attempt) {
        runTool("xdotool", arguments);
        if (waitUntil([&] { return command("focused") == "focused yes"; }, 250ms))
            return;
    }
    throw std::runtime_error("the test editor did not get the focus");
}

void TestEditor::pause() {
    ::kill(static_cast<pid_t>(process_.processId()), SIGSTOP);
}

void TestEditor::resume() {
    ::kill(static_cast<pid_t>(process_.processId()), SIGCONT);
}

std::string TestEditor::text() {
    return QByteArray::fromHex(QByteArray::fromStdString(command("text")).mid(5)).toStdString();
}

bool TestEditor::waitForText(const std::string& expected) {
    return waitUntil([&] { return text() == expected; });
}

std::string TestEditor::command(const char* line) {
    process_.write(QByteArray(line) + '\n');
    return readLine();
}

std::string TestEditor::readLine() {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!process_.canReadLine()) {
        if (std::chrono::steady_clock::now() > deadline || process_.state() != QProcess::Running)
            throw std::runtime_error("the test editor did not answer");
        process_.waitForReadyRead(100);
    }
    return process_.readLine().chopped(1).toStdString();
}

} // namespace pennial::desktop
