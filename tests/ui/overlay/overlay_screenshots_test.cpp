// The panel in each of its looks, saved beside the test program for review
// (overlay_screenshots/*.png), with a check of the card's corners in each.

#include "overlay_screens.hpp"
#include "ui_support/qt_wait.hpp"
#include "ui/overlay/spinner_overlay_controller.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::notchedScreen;
using testing::plainScreen;

class FixedScreens : public Screens {
public:
    std::vector<Screen> screens() override { return {plainScreen()}; }
    std::optional<Screen> mainScreen() override { return plainScreen(); }
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

TEST_F(OverlayScreenshots, BelowTheMenuBar) {
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
