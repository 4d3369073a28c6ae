// One QApplication for the whole test program, with fonts limited to one known family and the
// application's own: the brand families are then found only if the program registered them.

#include "ui/design/pn_animations.hpp"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The offscreen platform warns about every top-level window's size hints; nothing to act on.
void quietOffscreenWarnings(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (message.contains(QStringLiteral("propagateSizeHints")))
        return;
    qt_message_output(type, context, message);
}

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(fontConfigDir_.isValid());
        const QString configPath = fontConfigDir_.filePath(QStringLiteral("fonts.conf"));
        QFile config(configPath);
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("<?xml version=\"1.0\"?>\n<fontconfig>\n"
                     "  <dir>/usr/share/fonts/truetype/dejavu</dir>\n"
                     "  <include ignore_missing=\"yes\">/etc/fonts/conf.d</include>\n"
                     "  <cachedir>" +
                     fontConfigDir_.filePath(QStringLiteral("cache")).toUtf8() +
                     "</cachedir>\n</fontconfig>\n");
        config.close();
        qputenv("FONTCONFIG_FILE", configPath.toUtf8());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietOffscreenWarnings);
        app_ = std::make_unique<QApplication>(argc_, argv_);
        // What the font tests find must have been registered by the program itself.
        ASSERT_FALSE(QFontDatabase::families().contains(QStringLiteral("Inter")));
        ASSERT_FALSE(QFontDatabase::families().contains(QStringLiteral("Sora")));
        pennial::PNAnimations::setEnabled(false);
    }

    void TearDown() override { app_.reset(); }

private:
    QTemporaryDir fontConfigDir_;
    int argc_ = 1;
    char name_[16] = "ui_design_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
