// One QApplication for the whole test program, with the brand fonts registered as the application
// does, and animations off.

#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_fonts.hpp"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The offscreen platform cannot stack windows and warns about size hints; nothing to act on.
QtMessageHandler standardHandler = nullptr;

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
        static char name[] = "ui_media_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        standardHandler = qInstallMessageHandler(quietOffscreen);
        pennial::PNFonts::registerCustomFonts();
        pennial::PNAnimations::setEnabled(false);
    }
    void TearDown() override { application_.reset(); }

private:
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
