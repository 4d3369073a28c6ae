#include "desktop_session.hpp"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

// Once our Qt application is up, its accessibility bridge connects to the session bus and keeps
// that connection's objects to the end: not ours to free. Telling them apart takes the whole
// stack, through libraries built without frame pointers.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6DBus.so\n";
}

namespace pennial::e2e {

namespace {

// The application object and the main executor, for the whole test program.
class Session : public ::testing::Environment {
public:
    void SetUp() override {
        if (!available())
            return;
        qputenv("QT_QPA_PLATFORM", "xcb");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
        context_ = std::make_unique<QtExecutionContext>();
    }
    void TearDown() override {
        context_.reset();
        app_.reset();
    }
    QtExecutionContext& context() { return *context_; }

private:
    int argc_ = 1;
    char name_[16] = "e2e_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
    std::unique_ptr<QtExecutionContext> context_;
};

Session* session = static_cast<Session*>(::testing::AddGlobalTestEnvironment(new Session));

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

QtExecutionContext& mainContext() {
    return session->context();
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QTimer tick; // wakes the loop up to look at the condition again
    tick.start(2);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void pumpFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    waitUntil([&] { return std::chrono::steady_clock::now() >= end; }, duration + 1s);
}

void typeOnKeyboard(const std::string& text) {
    // Our own event loop must keep answering meanwhile (the clipboard, the accessibility bus).
    QProcess typing;
    typing.start("xdotool", {"type", "--delay", "20", "--", QString::fromStdString(text)});
    if (!waitUntil([&] { return typing.state() == QProcess::NotRunning; }, 30s) ||
        typing.exitCode() != 0)
        throw std::runtime_error("xdotool failed");
}

TestEditor::TestEditor() : TestEditor(Options{}) {}

TestEditor::TestEditor(Options options) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(editorPath(),
                   {QString("--focus=") + options.focus,
                    QString("--accessible-text=") + options.accessibleText, "--stdin-commands"});
    if (!process_.waitForStarted(5000) || readLine() != "ready")
        throw std::runtime_error("the test editor did not start");
    // The window manager may still be starting, or call the window active before the editor has
    // its focus: ask again until the editor says it has it.
    const QStringList activate = {"search",
                                  "--sync",
                                  "--all",
                                  "--pid",
                                  QString::number(process_.processId()),
                                  "--name",
                                  "Pennial Test Editor",
                                  "windowactivate",
                                  "--sync"};
    for (int attempt = 0; attempt < 20; ++attempt) {
        runTool("xdotool", activate);
        if (waitUntil([&] { return command("focused") == "focused yes"; }, 250ms))
            return;
    }
    throw std::runtime_error("the test editor did not get the focus");
}

TestEditor::~TestEditor() {
    process_.write("quit\n");
    if (!waitUntil([&] { return process_.state() == QProcess::NotRunning; }))
        process_.kill();
}

std::string TestEditor::text() {
    return QByteArray::fromHex(QByteArray::fromStdString(command("text")).mid(5)).toStdString();
}

bool TestEditor::waitForText(const std::string& expected, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return text() == expected; }, timeout);
}

std::vector<std::pair<std::string, std::string>> TestEditor::clipboard() {
    std::vector<std::pair<std::string, std::string>> formats;
    for (std::string line = command("clipboard"); line != "end"; line = readLine()) {
        const QList<QByteArray> fields = QByteArray::fromStdString(line).split(' ');
        formats.emplace_back(fields.value(1).toStdString(),
                             QByteArray::fromHex(fields.value(2)).toStdString());
    }
    return formats;
}

void TestEditor::copySample() {
    if (command("copy-sample") != "copied")
        throw std::runtime_error("the test editor did not copy");
}

std::string TestEditor::command(const char* line) {
    process_.write(QByteArray(line) + '\n');
    return readLine();
}

std::string TestEditor::readLine() {
    // Keep the event loop running meanwhile: the editor may be asking us for the clipboard.
    if (!waitUntil([&] { return process_.canReadLine(); }))
        throw std::runtime_error("the test editor did not answer");
    return process_.readLine().chopped(1).toStdString();
}

} // namespace pennial::e2e
