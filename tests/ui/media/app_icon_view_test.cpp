// The application's icon: drawn from its artwork at any side, stretched to the square, and absent
// without a trace when no source loads.

#include "media_test_support.hpp"
#include "ui/media/app_icon_view.hpp"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pennial {
namespace {

// Whether any pixel of the image is not fully transparent.
bool drawsSomething(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}

TEST(AppIconViewTest, TheBuiltInIconIsDrawnFilledAtEverySide) {
    for (const int side : {16, 32, 64, 128, 512}) {
        const QImage image = AppIconView::render(side);
        ASSERT_EQ(image.size(), QSize(side, side)) << side;
        // The artwork's rounded face covers the middle and leaves the far corner clear.
        EXPECT_EQ(qAlpha(image.pixel(side / 2, side / 4)), 255) << side;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << side;
        testing::saveImage(image, QStringLiteral("app_icon_%1").arg(side));
    }
}

TEST(AppIconViewTest, TheViewIsTheRequestedSquareAndDrawsTheIconIntoIt) {
    AppIconView view(16);
    ASSERT_TRUE(view.hasIcon());
    EXPECT_EQ(view.size(), 16);
    EXPECT_EQ(view.sizeHint(), QSize(16, 16));
    EXPECT_EQ(view.minimumSize(), QSize(16, 16));
    EXPECT_EQ(view.maximumSize(), QSize(16, 16));
    EXPECT_TRUE(drawsSomething(view.grab().toImage()));

    view.setSize(96);
    EXPECT_EQ(view.sizeHint(), QSize(96, 96));
    const QImage large = testing::saveScreenshot(view, QStringLiteral("app_icon_view_96"));
    EXPECT_EQ(large.size(), QSize(96, 96));
    // Drawn at 96 from the vector artwork, not blown up from a small picture: the edge between
    // the face and the clear corner stays within a pixel or two.
    int partial = 0;
    for (int x = 0; x < 96; ++x)
        if (const int alpha = qAlpha(large.pixel(x, 48)); alpha > 0 && alpha < 255)
            ++partial;
    EXPECT_LE(partial, 4);
}

TEST(AppIconViewTest, ArtworkOfOtherProportionsIsStretchedToTheSquare) {
    QTemporaryDir folder;
    const QString wide = folder.filePath(QStringLiteral("wide.svg"));
    QFile file(wide);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="10" viewBox="0 0 40 10">)"
        R"(<rect width="40" height="10" fill="#f00"/></svg>)");
    file.close();

    const QImage image = AppIconView::render(20, {wide});
    ASSERT_EQ(image.size(), QSize(20, 20));
    EXPECT_EQ(image.pixel(10, 1), qRgb(255, 0, 0)) << "filled to the top, not letterboxed";
    EXPECT_EQ(image.pixel(10, 18), qRgb(255, 0, 0)) << "filled to the bottom";
}

TEST(AppIconViewTest, MissingAndBrokenSourcesArePassedOverInOrder) {
    QTemporaryDir folder;
    const QString broken = folder.filePath(QStringLiteral("broken.svg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a drawing");
    file.close();
    const QString missing = folder.filePath(QStringLiteral("missing.svg"));

    EXPECT_EQ(AppIconView::loadIcon({missing, broken}), nullptr);
    EXPECT_NE(AppIconView::loadIcon({missing, broken, AppIconView::defaultSources().front()}),
              nullptr);
    EXPECT_TRUE(AppIconView::render(32, {missing, broken}).isNull());
}

TEST(AppIconViewTest, WithoutAnIconTheViewTakesNoRoomAndDrawsNothing) {
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* icon = new AppIconView(48, &row, {QStringLiteral(":/media/none.svg")});
    auto* name = new QLabel(QStringLiteral("Pennial"), &row);
    layout->addWidget(icon);
    layout->addWidget(name);
    row.resize(200, 48);
    row.show();

    EXPECT_FALSE(icon->hasIcon());
    EXPECT_EQ(icon->sizeHint(), QSize(0, 0));
    EXPECT_FALSE(icon->isVisible());
    EXPECT_EQ(name->x(), 0) << "no gap is left where the icon would be";
    EXPECT_FALSE(drawsSomething(icon->grab().toImage()));
}

} // namespace
} // namespace pennial
