#include "desktop_support/test_editor.hpp"

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace pennial::desktop_support {

namespace {

QString editorPath() {
    if (const char* path = std::getenv("PENNIAL_TEST_EDITOR"))
        return QString::fromLocal8Bit(path);
    // build/<preset>/tests/<this program> -> build/<preset>/tools/test_editor/...
    const QString tests = QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2);
    return tests + "/../tools/test_editor/pennial_test_editor";
}

} // namespace

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

void runTool(const QString& program, const QStringList& arguments) {
    if (QProcess::execute(program, arguments) != 0)
        throw std::runtime_error(program.toStdString() + " failed");
}

TestEditor::TestEditor(Options options) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(editorPath(),
                   {QString("--focus=") + options.focus,
                    QString("--accessible-text=") + options.accessibleText, "--stdin-commands"});
    if (!process_.waitForStarted(5000) || readLine() != "ready")
        throw std::runtime_error("the test editor did not start");
    activate();
}

TestEditor::~TestEditor() {
    resume();
    process_.write("quit\n");
    if (!waitUntil([&] { return process_.state() == QProcess::NotRunning; }))
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

void TestEditor::appendUnreported(const std::string& text) {
    const auto line = "append-unreported " + QByteArray::fromStdString(text).toHex().toStdString();
    if (command(line.c_str()) != "appended")
        throw std::runtime_error("the test editor did not append");
}

std::string TestEditor::command(const char* line) {
    process_.write(QByteArray(line) + '\n');
    return readLine();
}

std::string TestEditor::readLine() {
    // The event loop keeps running meanwhile: the editor may be asking us for the clipboard.
    if (!waitUntil(
            [&] { return process_.canReadLine() || process_.state() != QProcess::Running; }) ||
        !process_.canReadLine())
        throw std::runtime_error("the test editor did not answer");
    return process_.readLine().chopped(1).toStdString();
}

} // namespace pennial::desktop_support
