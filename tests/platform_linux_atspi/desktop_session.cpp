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
    desktop_support::runTool("xdotool", {"type", "--delay", "1", QString::fromStdString(text)});
}

} // namespace pennial::desktop
