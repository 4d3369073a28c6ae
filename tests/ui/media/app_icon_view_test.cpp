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

// What the widget itself draws, on a clear image without the window's background.
QImage drawn(QWidget& widget) {
    QImage image(widget.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

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
    const QImage image = drawn(view);
    EXPECT_EQ(qAlpha(image.pixel(8, 4)), 255) << "the face fills the square";
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "its rounded corner is left clear";

    view.setSize(96);
    EXPECT_EQ(view.sizeHint(), QSize(96, 96));
    EXPECT_EQ(testing::saveScreenshot(view, QStringLiteral("app_icon_view_96")).size(),
              QSize(96, 96));
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
    EXPECT_FALSE(drawsSomething(drawn(*icon)));
}

} // namespace
} // namespace pennial
