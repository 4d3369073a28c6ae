// One QApplication for the whole test program, with animations off so that views settle at once.

#include "ui/design/pn_animations.hpp"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The offscreen platform cannot stack windows and says so on every show.
QtMessageHandler standardHandler = nullptr;

void quietRaise(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QStringLiteral("does not support raise")))
        return;
    if (standardHandler)
        standardHandler(type, context, message);
}

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ui_code_panel_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        standardHandler = qInstallMessageHandler(quietRaise);
        pennial::PNAnimations::setEnabled(false);
    }
    void TearDown() override { application_.reset(); }

private:
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
