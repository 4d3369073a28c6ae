// The panel in each of its looks, saved beside the test program for review
// (overlay_screenshots/*.png), with a check of the card's corners in each.

#include "overlay_screens.hpp"
#include "ui/overlay/palette_list.hpp"
#include "ui/overlay/processing_row.hpp"
#include "ui/overlay/spinner_overlay_controller.hpp"
#include "ui/overlay/spinner_view.hpp"
#include "ui_support/qt_wait.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::notchedScreen;
using testing::plainScreen;

class FixedScreens : public Screens {
public:
    explicit FixedScreens(Screen screen = plainScreen()) : screen_(std::move(screen)) {}
    std::vector<Screen> screens() override { return {screen_}; }
    std::optional<Screen> mainScreen() override { return screen_; }

private:
    Screen screen_;
};

// The panel over a mid-grey desktop, at twice the size for a closer look.
QImage shoot(QWidget* panel, const QString& name) {
    const QColor desktop(96, 104, 112);
    QImage image(panel->size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(desktop);
    {
        QPainter painter(&image);
        panel->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    const QString folder = QCoreApplication::applicationDirPath() + "/overlay_screenshots";
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
    return image;
}

QColor at(const QImage& image, int x, int y) {
    return image.pixelColor(x * 2, y * 2);
}

class OverlayScreenshots : public ::testing::Test {
protected:
    void showPalette(std::optional<Point> caret, Screen screen, std::string query = "ra",
                     int selected = 1) {
        overlay.showCommandPalette(
            {{"translate", "Translate", false},
             {"fix", "Fix grammar", false},
             {"rewrite", "Rewrite formally", true},
             {"reply", "Draft a reply", false}},
            std::move(query), selected, caret, [](const std::string&) {}, std::move(screen));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    SpinnerOverlayController overlay{std::make_shared<FixedScreens>()};
    const QColor desktop{96, 104, 112};
};

TEST_F(OverlayScreenshots, AtTheNotch) {
    showPalette(std::nullopt, notchedScreen());
    const QImage image = shoot(overlay.panel(), "palette_notch");
    EXPECT_EQ(at(image, 1, 1), QColor(Qt::black)); // square top corner
    const int bottom = overlay.panel()->height() - 20;
    EXPECT_EQ(at(image, 1, bottom - 2), desktop);   // round bottom corner
    EXPECT_EQ(at(image, 100, bottom + 5), desktop); // the empty strip at the foot
}

TEST_F(OverlayScreenshots, AtTheBottomEdge) {
    showPalette(Point{100, 50}, plainScreen(), "", 0);
    const QImage image = shoot(overlay.panel(), "palette_bottom");
    EXPECT_EQ(at(image, 1, 1), desktop);
    EXPECT_EQ(at(image, 1, overlay.panel()->height() - 1), QColor(Qt::black));
}

TEST_F(OverlayScreenshots, WithTheLineSayingHowItIsUsedWhereItsKeysAreNotTaken) {
    showPalette(std::nullopt, plainScreen());
    const int plainHeight = overlay.panel()->height();
    const QString note = "Click to run: keys stay in the field";
    overlay.setPaletteNote(note.toStdString());
    showPalette(std::nullopt, plainScreen());
    EXPECT_EQ(overlay.panel()->height(), plainHeight + PaletteMetrics::paletteNoteHeight);
    const auto* view = dynamic_cast<SpinnerView*>(overlay.panel()->layout()->itemAt(0)->widget());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->note()->isVisible());
    EXPECT_EQ(view->note()->text(), note) << "whole, on one line";
    EXPECT_LE(view->note()->geometry().bottom(), overlay.panel()->height());
    shoot(overlay.panel(), "palette_with_note");

    // Taken away, and gone from the processing card in any case.
    overlay.transitionToProcessing();
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->note()->isVisible());
    overlay.setPaletteNote("");
    showPalette(std::nullopt, plainScreen());
    EXPECT_FALSE(view->note()->isVisible());
    EXPECT_EQ(overlay.panel()->height(), plainHeight);
}

// The foot of a primary screen with the panel where the window system puts it, at the screen's
// scale; the panel must lie wholly on the picture.
QImage shootScreenFoot(QWidget* panel, const Screen& screen, double scale, const QString& name) {
    constexpr int footHeight = 160;
    const QRect shown(0, static_cast<int>(screen.frame.size.height) - footHeight,
                      static_cast<int>(screen.frame.size.width), footHeight);
    QImage image(shown.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(QColor(96, 104, 112));
    {
        QPainter painter(&image);
        panel->render(&painter, panel->geometry().topLeft() - shown.topLeft(), QRegion(),
                      QWidget::DrawChildren);
    }
    EXPECT_TRUE(shown.contains(panel->geometry())) << name.toStdString();
    const QString folder = QCoreApplication::applicationDirPath() + "/overlay_screenshots";
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
    return image;
}

TEST(OverlayOnASmallScreen, ThePaletteAndTheStatusCardStandOnTheScreensFoot) {
    // 1280 x 800 pixels at scale 1, and 2560 x 1600 at scale 2: the same points.
    for (const double scale : {1.0, 2.0}) {
        const Screen screen = testing::smallScreen(1280 * scale, 800 * scale, scale, true);
        SpinnerOverlayController overlay{std::make_shared<FixedScreens>(screen)};
        overlay.showCommandPalette(
            {{"translate", "Translate", false},
             {"fix", "Fix grammar", false},
             {"reply", "Draft a reply", false}},
            "", 2, Point{640, 20}, [](const std::string&) {}, screen);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        const QString size = QString::number(1280 * scale) + "x" + QString::number(800 * scale);
        QWidget* panel = overlay.panel();
        const auto* view = dynamic_cast<SpinnerView*>(panel->layout()->itemAt(0)->widget());
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(panel->geometry(), QRect(540, 700, 200, 100));
        const QImage image = shootScreenFoot(panel, screen, scale, "palette_bottom_edge_" + size);
        EXPECT_EQ(image.pixelColor(static_cast<int>(541 * scale), image.height() - 1),
                  QColor(Qt::black))
            << "the square foot on the screen's edge";
        const QWidget* lastRow = view->list()->rows().back();
        EXPECT_TRUE(
            panel->rect().contains(QRect(lastRow->mapTo(panel, QPoint(0, 0)), lastRow->size())));

        overlay.transitionToProcessing();
        // On a display the window system may still answer the palette's size first.
        testing::processEventsUntil([&] { return panel->geometry().height() == 48; });
        EXPECT_EQ(panel->geometry(), QRect(540, 752, 200, 48));
        shootScreenFoot(panel, screen, scale, "status_bottom_edge_" + size);
        const QWidget* verb = view->processingRow()->verbLabel();
        EXPECT_TRUE(panel->rect().contains(QRect(verb->mapTo(panel, QPoint(0, 0)), verb->size())));
    }
}

TEST_F(OverlayScreenshots, BelowTheTopPanel) {
    showPalette(std::nullopt, plainScreen(), "zz");
    const QImage image = shoot(overlay.panel(), "palette_glass");
    EXPECT_EQ(at(image, 0, 0), desktop);
    EXPECT_NE(at(image, 100, 3), desktop);
}

TEST_F(OverlayScreenshots, EmptyAndProcessing) {
    overlay.showCommandPalette({}, "xyz", 0, std::nullopt, {}, notchedScreen());
    QCoreApplication::processEvents();
    shoot(overlay.panel(), "palette_no_matches");

    overlay.transitionToProcessing();
    QCoreApplication::processEvents();
    const QImage image = shoot(overlay.panel(), "processing_notch");
    EXPECT_EQ(image.height(), 2 * (48 + 37));
}

} // namespace
} // namespace pennial
