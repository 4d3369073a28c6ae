#include "desktop_support/qt_session.hpp"

#include "desktop_support/test_editor.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

namespace pennial::desktop_support {

bool hasDisplay() {
    return std::getenv("DISPLAY") != nullptr;
}

QtSession::QtSession(const char* programName, QtApplicationKind kind, bool withMainExecutor)
    : kind_(kind), withMainExecutor_(withMainExecutor) {
    std::strncpy(name_, programName, sizeof(name_) - 1);
}

QtSession::~QtSession() = default;

void QtSession::SetUp() {
    if (!hasDisplay())
        return;
    qputenv("QT_QPA_PLATFORM", "xcb");
    if (kind_ == QtApplicationKind::widgets)
        app_ = std::make_unique<QApplication>(argc_, argv_);
    else
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    if (withMainExecutor_)
        context_ = std::make_unique<QtExecutionContext>();
}

void QtSession::TearDown() {
    context_.reset();
    app_.reset();
}

QtSession* addQtSession(const char* programName, QtApplicationKind kind, bool withMainExecutor) {
    auto* session = new QtSession(programName, kind, withMainExecutor);
    ::testing::AddGlobalTestEnvironment(session);
    return session;
}

void pumpFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    waitUntil([&] { return std::chrono::steady_clock::now() >= end; },
              duration + std::chrono::seconds(1));
}

} // namespace pennial::desktop_support
