// The title strip's buttons: named for what they do, each showing its own symbol, brought out
// under the pointer; screenshots of the strip at rest and hovered (cards_screenshots/title_bar_*).

#include "cards_test_support.hpp"
#include "ui/cards/card_title_bar.hpp"
#include "ui/cards/card_window_button.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/qt_glass_card_window_controller.hpp"

#include <QAccessible>
#include <QCursor>
#include <QPainter>
#include <QThread>
#include <QWindow>
#include <gtest/gtest.h>
#include <set>

namespace pennial {
namespace {

constexpr int zoomed = 4; // rendered at four times the size, for the symbol's strokes

// The button as it paints itself over the card's black, at four times the size.
QImage paintedButton(CardWindowButton& button) {
    QImage image(button.size() * zoomed, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(zoomed);
    image.fill(Qt::black);
    QPainter painter(&image);
    button.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// How much lighter than the bare disc the button is at the point, given relative to its centre.
int lighterThanDisc(const QImage& image, QPointF offset) {
    const QPointF centre(CardWindowButton::diameter / 2.0, CardWindowButton::diameter / 2.0);
    const auto lightness = [&](QPointF at) {
        return image.pixelColor((at * zoomed).toPoint()).lightness();
    };
    return lightness(centre + offset) - lightness(centre + QPointF(0, 5)); // off every symbol
}

bool stroked(const QImage& image, QPointF offset) {
    return lighterThanDisc(image, offset) > 30;
}

// Where each symbol has strokes and where it has none: on the diagonals (×), on the horizontal
// (–), on both axes (+).
void expectSymbol(const QImage& image, CardWindowButtonKind kind) {
    const qreal arm = CardWindowButton::diameter * 0.16;
    const bool diagonal = kind == CardWindowButtonKind::close;
    const bool vertical = kind == CardWindowButtonKind::zoom;
    const bool horizontal = kind != CardWindowButtonKind::close;
    for (const qreal sign : {-1.0, 1.0}) {
        EXPECT_EQ(stroked(image, {arm * sign, arm * sign}), diagonal);
        EXPECT_EQ(stroked(image, {arm * sign, -arm * sign}), diagonal);
        EXPECT_EQ(stroked(image, {arm * sign * 1.2, 0}), horizontal);
        EXPECT_EQ(stroked(image, {0, arm * sign * 1.2}), vertical);
    }
}

class CardTitleBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        controller.show();
        window = controller.window();
        ASSERT_TRUE(testing::processUntil([&] { return window->windowHandle()->isExposed(); }));
        pointAt(window->geometry().bottomRight() + QPoint(40, 40)); // away from the window
    }

    // The pointer left where no later test's window will be, the window gone.
    void TearDown() override {
        pointAt(QPoint(-100, -100));
        controller.hide();
        testing::runQueued();
    }

    // The pointer moves there as the window system reports it, entering and leaving widgets.
    static void pointAt(QPoint global) {
        QCursor::setPos(global);
        testing::runQueued();
    }
    static QPoint middleOf(const QWidget& widget) {
        return widget.mapToGlobal(widget.rect().center());
    }

    testing::CardServices cards;
    QtGlassCardWindowController controller{"settings", {720, 600}, true, nullptr, cards.services()};
    GlassCardWindow* window = nullptr;
};

TEST_F(CardTitleBarTest, EachButtonIsNamedAndShowsItsSymbolBrightenedUnderThePointer) {
    CardTitleBar* bar = window->titleBar();
    std::set<QString> names;
    for (CardWindowButton* button :
         {bar->closeButton(), bar->minimizeButton(), bar->zoomButton()}) {
        SCOPED_TRACE(button->objectName().toStdString());
        // Read as an assistive technology reads it.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), QAccessible::Button);
        const QString name = accessible->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_EQ(button->toolTip(), name);
        names.insert(name);

        const QImage atRest = paintedButton(*button);
        expectSymbol(atRest, button->kind());
        pointAt(middleOf(*button));
        ASSERT_TRUE(button->underMouse());
        const QImage hovered = paintedButton(*button);
        expectSymbol(hovered, button->kind());
        EXPECT_GT(lighterThanDisc(hovered, {0, 0}), lighterThanDisc(atRest, {0, 0}))
            << "the symbol stands out more under the pointer";
        pointAt(window->geometry().bottomRight() + QPoint(40, 40));
        EXPECT_EQ(paintedButton(*button), atRest);
    }
    EXPECT_EQ(names.size(), 3u) << "three names for three actions";
}

TEST_F(CardTitleBarTest, TheZoomButtonSaysItRestoresAMaximisedWindow) {
    CardWindowButton* zoom = window->titleBar()->zoomButton();
    const QString maximise = zoom->accessibleName();
    zoom->click();
    ASSERT_TRUE(testing::processUntil([&] { return window->isMaximized(); }));
    EXPECT_NE(zoom->accessibleName(), maximise);
    window->showNormal(); // as the window manager may do
    ASSERT_TRUE(testing::processUntil([&] { return !window->isMaximized(); }));
    EXPECT_EQ(zoom->accessibleName(), maximise);
}

TEST_F(CardTitleBarTest, Screenshots) {
    // The strip's right end at three times the size, at rest and with the pointer on each button.
    const auto shoot = [&](const QString& name) {
        constexpr int scale = 3;
        const QRect strip(window->width() - 90, 0, 90, CardTitleBar::height);
        QImage image(strip.size() * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::black);
        QPainter painter(&image);
        window->render(&painter, QPoint(), QRegion(strip));
        painter.end();
        const QString folder = QCoreApplication::applicationDirPath() + "/cards_screenshots";
        QDir().mkpath(folder);
        image.save(folder + "/title_bar_" + name + ".png");
    };
    shoot("at_rest");
    CardTitleBar* bar = window->titleBar();
    for (auto [button, name] : {std::pair{bar->closeButton(), "hovered_close"},
                                std::pair{bar->minimizeButton(), "hovered_minimize"},
                                std::pair{bar->zoomButton(), "hovered_zoom"}}) {
        pointAt(middleOf(*button));
        // On a display the pointer's arrival is reported a few turns later.
        for (int turn = 0; turn < 200 && !button->underMouse(); ++turn) {
            testing::runQueued();
            QThread::msleep(5);
        }
        EXPECT_TRUE(button->underMouse()) << name;
        shoot(name);
    }
}

} // namespace
} // namespace pennial
