#pragma once
// The Qt application object a desktop test program needs (its X connection, clipboard and
// accessibility bridge), made once for the whole program and only inside a desktop session, with,
// for the programs that drive the coordinator or the workspace, a main executor posting into its
// event loop.

#include "platform/linux/qt/qt_executor.hpp"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>

class QCoreApplication;

namespace pennial::desktop_support {

// False outside a desktop session (no $DISPLAY): the tests skip.
bool hasDisplay();

enum class QtApplicationKind { gui, widgets };

class QtSession : public ::testing::Environment {
public:
    QtSession(const char* programName, QtApplicationKind kind, bool withMainExecutor);
    ~QtSession() override;

    void SetUp() override;
    void TearDown() override;
    // Null outside a desktop session, or when the program asked for none.
    QtExecutionContext* mainContext() { return context_.get(); }

private:
    char name_[64] = {};
    char* argv_[2] = {name_, nullptr};
    int argc_ = 1;
    QtApplicationKind kind_;
    bool withMainExecutor_;
    std::unique_ptr<QCoreApplication> app_;
    std::unique_ptr<QtExecutionContext> context_;
};

// Registers the program's session with gtest, which owns it.
QtSession* addQtSession(const char* programName, QtApplicationKind kind, bool withMainExecutor);

// Keeps the event loop running for the duration.
void pumpFor(std::chrono::milliseconds duration);

} // namespace pennial::desktop_support
