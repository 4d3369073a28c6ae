// One QApplication for the whole test program, with animations off so that windows settle at once.

#include "ui/design/pn_animations.hpp"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

QtMessageHandler standardHandler = nullptr;

// The offscreen platform cannot stack windows or pass size hints on, and says so on every show.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QStringLiteral("does not support raise")) ||
        message.contains(QStringLiteral("propagateSizeHints")))
        return;
    if (standardHandler)
        standardHandler(type, context, message);
}

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ui_cards_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        // Closing the last card must not end the program, as in the tray application.
        QApplication::setQuitOnLastWindowClosed(false);
        standardHandler = qInstallMessageHandler(quietOffscreen);
        pennial::PNAnimations::setEnabled(false);
    }
    void TearDown() override { application_.reset(); }

private:
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
