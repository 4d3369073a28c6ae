// The tray item's image: the icon at the tray's height whatever its artwork's size, a drawn text
// cursor without artwork, the update dot in the top-right corner only, and a colour that reads on
// the tray. (The program's one QApplication lives here.)

#include "ui/tray/status_symbol.hpp"
#include "ui/tray/tray_colours.hpp"
#include "ui/tray/tray_icon_image.hpp"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pennial;

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ui_tray_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { application_.reset(); }

private:
    std::unique_ptr<QApplication> application_;
};
[[maybe_unused]] auto* environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QString writeFile(const QTemporaryDir& folder, const char* name, const QByteArray& content) {
    const QString path = folder.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

bool isOrange(QRgb pixel) {
    return qAlpha(pixel) == 255 && qRed(pixel) > 200 && qGreen(pixel) > 100 &&
           qGreen(pixel) < 200 && qBlue(pixel) < 60;
}

} // namespace

TEST(TrayIconImage, ArtworkIsScaledToTheTrayHeightKeepingItsShape) {
    QTemporaryDir folder;
    auto wide = writeFile(folder, "wide.svg",
                          R"(<svg xmlns="http://www.w3.org/2000/svg" width="36" height="24">)"
                          R"(<rect width="36" height="24" fill="#fff"/></svg>)");
    EXPECT_EQ(menuBarIconImage(wide).size(), QSize(27, 18));

    QImage raster(40, 80, QImage::Format_ARGB32);
    raster.fill(Qt::white);
    const QString tall = folder.filePath("tall.png");
    ASSERT_TRUE(raster.save(tall));
    EXPECT_EQ(menuBarIconImage(tall).size(), QSize(9, 18));

    EXPECT_EQ(menuBarIconImage(":/icons/icon.svg").height(), trayIconHeight) << "the shipped icon";
}

TEST(TrayIconImage, WithoutArtworkATextCursorIsDrawn) {
    for (const QString& missing : {QString("/nowhere/icon.svg"), QString()}) {
        auto image = menuBarIconImage(missing);
        EXPECT_EQ(image.height(), trayIconHeight);
        EXPECT_GT(image.width(), 0);
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            drawn = qAlpha(image.pixel(image.width() / 2, y)) > 0;
        EXPECT_TRUE(drawn);
    }
}

TEST(TrayIconImage, TheUpdateDotSitsInTheTopRightCornerOnly) {
    QImage plain(27, 18, QImage::Format_ARGB32_Premultiplied);
    plain.fill(Qt::transparent);
    auto badged = addBadgeDot(plain);
    ASSERT_EQ(badged.size(), plain.size());
    EXPECT_TRUE(isOrange(badged.pixel(24, 2))) << "the dot's middle";
    EXPECT_EQ(qAlpha(badged.pixel(21, 2)), 0) << "left of the dot";
    EXPECT_EQ(qAlpha(badged.pixel(24, 6)), 0) << "below the dot";
    EXPECT_EQ(qAlpha(badged.pixel(2, 16)), 0);

    EXPECT_EQ(trayImage(false), menuBarIconImage());
    EXPECT_TRUE(isOrange(trayImage(true).pixel(trayImage(true).width() - 3, 2)));
}

TEST(TrayIconImage, TheIconTakesAColourThatReadsOnTheTray) {
    const QColor onLight = trayForegroundFor(QColor(0xd0, 0xd0, 0xd0)); // trayer's grey
    const QColor onDark = trayForegroundFor(QColor(0x20, 0x20, 0x20));
    EXPECT_LT(onLight.lightness(), 80);
    EXPECT_EQ(onDark, QColor(Qt::white));

    const QImage tinted = trayImage(true, onLight);
    const QImage white = trayImage(true);
    int drawn = 0;
    for (int y = 0; y < tinted.height(); ++y)
        for (int x = 0; x < tinted.width() - 6; ++x) { // left of the dot
            EXPECT_EQ(qAlpha(tinted.pixel(x, y)), qAlpha(white.pixel(x, y)));
            if (qAlpha(tinted.pixel(x, y)) == 255) {
                ++drawn;
                EXPECT_EQ(QColor(tinted.pixel(x, y)), onLight);
            }
        }
    EXPECT_GT(drawn, 10);
    EXPECT_TRUE(isOrange(tinted.pixel(tinted.width() - 3, 2))) << "the dot keeps its colour";
}

TEST(TrayIconImage, TheStatusSymbolsAreDrawn) {
    const QColor ink(20, 20, 20);
    const QImage check = statusSymbolImage("checkmark.circle.fill", 32, ink);
    const QImage ring = statusSymbolImage("circle", 32, ink);
    EXPECT_EQ(QColor(check.pixel(10, 10)), ink) << "the disc";
    EXPECT_EQ(qAlpha(check.pixel(14, 21)), 0) << "the check is cut out of it";
    EXPECT_EQ(qAlpha(ring.pixel(16, 16)), 0) << "a ring is open";
    EXPECT_GT(qAlpha(ring.pixel(16, 4)), 128);
}
