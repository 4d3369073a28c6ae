// The panel in each of its looks, saved beside the test program for review
// (code_panel_screenshots/*.png), with a check of the card's shape and contents in each.

#include "code_panel_harness.hpp"
#include "services/auth_error.hpp"
#include "ui/code_panel/notch_passcode_panel_controller.hpp"
#include "ui/code_panel/notch_passcode_view.hpp"
#include "ui/design/focus_tracking_text_field.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_otp_field.hpp"
#include "ui/design/ui_test_support.hpp"
#include "ui/overlay/overlay_screens.hpp"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::notchedScreen;
using testing::plainScreen;

const QColor desktop(96, 104, 112);

// The panel over a mid-grey desktop, at twice the size for a closer look.
QImage shoot(QWidget* panel, const QString& name) {
    QImage image(panel->size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(desktop);
    {
        QPainter painter(&image);
        panel->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    const QString folder = QCoreApplication::applicationDirPath() + "/code_panel_screenshots";
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
    return image;
}

QColor at(const QImage& image, int x, int y) {
    return image.pixelColor(x * 2, y * 2);
}

// Whether a widget's area holds anything but the card's black.
bool drawsOver(const QImage& image, const QWidget* widget, const QWidget* panel) {
    const QRect area(widget->mapTo(panel, QPoint()), widget->size());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (at(image, x, y) != QColor(Qt::black))
                return true;
    return false;
}

class CodePanelScreenshots : public ::testing::Test {
protected:
    void show(Screen screen) {
        screens->list = {screen};
        panel.show(
            "ada@example.com", verifier.handler(), [] {}, screen);
        loop.turn();
        elsewhere.takeFocus(view()->codeField(), loop);
    }
    void type(const QString& text) { test::typeText(view()->codeField()->textField(), text); }
    NotchPasscodeView* view() const { return panel.view(); }

    testing::MainLoop loop;
    testing::ElsewhereWindow elsewhere;
    std::shared_ptr<testing::ListedScreens> screens = std::make_shared<testing::ListedScreens>();
    NotchPasscodePanelController panel{screens, loop.executor()};
    testing::ScriptedVerifier verifier;
};

TEST_F(CodePanelScreenshots, AtTheNotchAskingForAClick) {
    show(notchedScreen());
    const QImage image = shoot(panel.window(), "code_panel_notch");
    const int bottom = panel.window()->height() - 20;
    EXPECT_EQ(at(image, 1, 1), QColor(Qt::black));  // square top corner
    EXPECT_EQ(at(image, 1, bottom - 2), desktop);   // round bottom corner
    EXPECT_EQ(at(image, 170, bottom + 5), desktop); // the empty strip at the foot
    EXPECT_TRUE(drawsOver(image, view()->clickHint(), panel.window()));
    // Everything, the status line included, fits on the card.
    EXPECT_LE(
        view()->clickHint()->mapTo(panel.window(), QPoint(0, view()->clickHint()->height())).y(),
        bottom);
}

TEST_F(CodePanelScreenshots, BelowTheMenuBarWhileVerifying) {
    show(plainScreen());
    type("123456");
    ASSERT_TRUE(panel.model().isVerifying());
    const QImage image = shoot(panel.window(), "code_panel_plain_verifying");
    EXPECT_EQ(view()->codeField()->height(), 48); // the card's texts never squeeze it
    EXPECT_EQ(panel.window()->size(), QSize(340, 132));
    EXPECT_TRUE(drawsOver(image, view()->verifyingRow(), panel.window()));
    EXPECT_TRUE(drawsOver(image, view()->codeField(), panel.window()));
}

TEST_F(CodePanelScreenshots, AtTheNotchWithAnError) {
    show(notchedScreen());
    type("123456");
    verifier.answer = SignInResult::failure(std::make_exception_ptr(
        AuthError::verificationFailed(403, "Token has expired or is invalid")));
    ASSERT_TRUE(loop.runUntil([&] { return panel.model().error().has_value(); }));
    const QImage image = shoot(panel.window(), "code_panel_notch_error");
    EXPECT_TRUE(drawsOver(image, view()->errorText(), panel.window()));
    EXPECT_EQ(view()->codeField()->height(), 48);
    EXPECT_EQ(view()->errorText()->height(), view()->clickHint()->sizeHint().height()); // one line
}

} // namespace
} // namespace pennial
