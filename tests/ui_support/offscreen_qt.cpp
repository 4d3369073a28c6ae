#include "ui_support/offscreen_qt.hpp"

#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_fonts.hpp"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace pennial::testing {

namespace {

QtMessageHandler standardHandler = nullptr;

void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QStringLiteral("does not support raise")) ||
        message.contains(QStringLiteral("propagateSizeHints")))
        return;
    if (standardHandler)
        standardHandler(type, context, message);
}

class OffscreenQt : public ::testing::Environment {
public:
    explicit OffscreenQt(OffscreenQtOptions options) : options_(options) {}

    void SetUp() override {
        static int argc = 1;
        static char name[] = "pennial_ui_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        standardHandler = qInstallMessageHandler(quietOffscreen);
        if (options_.registerBrandFonts)
            PNFonts::registerCustomFonts();
        PNAnimations::setEnabled(false);
    }
    void TearDown() override { application_.reset(); }

private:
    OffscreenQtOptions options_;
    std::unique_ptr<QApplication> application_;
};

} // namespace

bool addOffscreenQtEnvironment(OffscreenQtOptions options) {
    ::testing::AddGlobalTestEnvironment(new OffscreenQt(options));
    return true;
}

} // namespace pennial::testing
