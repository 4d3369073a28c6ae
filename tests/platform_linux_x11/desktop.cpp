#include "desktop.hpp"

#include "platform/linux/qt_executor.hpp"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>
#include <asio/io_context.hpp>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace pennial::desktop {

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
    QtExecutionContext* context() { return context_.get(); }

private:
    int argc_ = 1;
    char name_[32] = "platform_x11_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
    std::unique_ptr<QtExecutionContext> context_;
};

Session* session = static_cast<Session*>(::testing::AddGlobalTestEnvironment(new Session));

} // namespace

bool available() {
    return std::getenv("DISPLAY") != nullptr;
}

Executor mainExecutor() {
    if (auto* context = session->context())
        return context->get_executor();
    // Without a display the tests skip, but their fixtures are still built: give them an executor
    // that never runs anything.
    static asio::io_context idle;
    return idle.get_executor();
}

void pumpFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    waitUntil([&] { return std::chrono::steady_clock::now() >= end; }, duration + 1s);
}

} // namespace pennial::desktop
