// The tray item's image: the icon at the tray's height whatever its artwork's size, a drawn text
// cursor without artwork, and the update dot in the top-right corner only.

#include "ui/tray/tray_icon_image.hpp"

#include <QGuiApplication>
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
        application_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { application_.reset(); }

private:
    std::unique_ptr<QGuiApplication> application_;
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
