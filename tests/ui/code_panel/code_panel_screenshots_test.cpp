// The panel in each of its looks, saved beside the test program for review
// (code_panel_screenshots/*.png), with a check of the card's shape and contents.

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
#include <gtest/gtest.h>

namespace pennial {
namespace {

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

QColor at(const QImage& image, QPoint point) {
    return image.pixelColor(point * 2);
}

// A widget's middle is drawn in something other than the card's black.
bool drawn(const QImage& image, const QWidget* widget) {
    for (int x = 0; x < widget->width(); ++x)
        if (at(image, widget->mapTo(widget->window(), QPoint(x, widget->height() / 2))) !=
            QColor(Qt::black))
            return true;
    return false;
}

TEST(CodePanelScreenshots, AtTheNotchAndBelowTheTopPanel) {
    testing::MainLoop loop;
    testing::ElsewhereWindow elsewhere;
    auto screens = std::make_shared<testing::ListedScreens>();
    NotchPasscodePanelController panel(screens, loop.executor(), {std::chrono::milliseconds(40)});
    testing::ScriptedVerifier verifier;
    auto show = [&](Screen screen) {
        screens->list = {screen};
        panel.show(
            "ada@example.com", verifier.handler(), [] {}, screen);
        loop.turn();
        elsewhere.takeFocus(panel.view()->codeField(), loop);
    };
    const auto view = [&] { return panel.view(); };

    show(testing::notchedScreen());
    QImage image = shoot(panel.window(), "code_panel_notch");
    const int cardBottom = panel.window()->height() - 20;
    EXPECT_EQ(at(image, {1, 1}), QColor(Qt::black));      // square top corner
    EXPECT_EQ(at(image, {1, cardBottom - 2}), desktop);   // round bottom corner
    EXPECT_EQ(at(image, {170, cardBottom + 5}), desktop); // the empty strip at the foot
    EXPECT_TRUE(drawn(image, view()->clickHint()));
    EXPECT_LE(
        view()->clickHint()->mapTo(panel.window(), QPoint(0, view()->clickHint()->height())).y(),
        cardBottom);

    test::typeText(view()->codeField()->textField(), "123456");
    verifier.answer = SignInResult::failure(std::make_exception_ptr(
        AuthError::verificationFailed(403, "Token has expired or is invalid")));
    ASSERT_TRUE(loop.runUntil([&] { return panel.model().error().has_value(); }));
    image = shoot(panel.window(), "code_panel_notch_error");
    EXPECT_TRUE(drawn(image, view()->errorText()));
    EXPECT_EQ(view()->errorText()->height(), view()->clickHint()->sizeHint().height()); // one line
    panel.hide();
    ASSERT_TRUE(loop.runUntil([&] { return panel.window() == nullptr; }));

    // Without a notch the card is shorter; the texts still leave the field whole.
    verifier.answer.reset();
    show(testing::plainScreen());
    test::typeText(view()->codeField()->textField(), "123456");
    image = shoot(panel.window(), "code_panel_plain_verifying");
    EXPECT_EQ(view()->codeField()->height(), 48);
    EXPECT_TRUE(drawn(image, view()->verifyingRow()));
    verifier.answer = SignInResult::success();
    loop.runUntil([&] { return !panel.model().isVerifying(); });
}

} // namespace
} // namespace pennial
