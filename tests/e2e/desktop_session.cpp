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

} // namespace

bool available() {
    return std::getenv("DISPLAY") != nullptr;
}

QtExecutionContext& mainContext() {
    return session->context();
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

} // namespace pennial::e2e
