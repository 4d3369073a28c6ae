// The screens from Qt, in the coordinates of the screens interface, against the session's one
// 1280x800 screen.

#include "desktop_session.hpp"
#include "platform/linux/qt_screens.hpp"

#include <QCoreApplication>
#include <QProcess>
#include <QWidget>
#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::desktop;

TEST(QtScreensTest, DescribesThePrimaryScreenWithoutANotch) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    QtScreens screens;
    auto all = screens.screens();
    ASSERT_EQ(all.size(), 1u);
    const Screen& screen = all.front();
    EXPECT_EQ(screen.frame, (Rect{{0, 0}, {1280, 800}}));
    EXPECT_GE(screen.visibleFrame.minX(), 0);
    EXPECT_GE(screen.visibleFrame.minY(), 0);
    EXPECT_LE(screen.visibleFrame.maxX(), 1280);
    EXPECT_LE(screen.visibleFrame.maxY(), 800);
    EXPECT_EQ(screen.safeAreaTopInset, 0);
    EXPECT_FALSE(screen.auxiliaryTopLeftArea || screen.auxiliaryTopRightArea);
    EXPECT_EQ(screens.mainScreen(), screen);
}

// A panel along the bottom edge: the visible frame starts above it, y growing upwards.
TEST(QtScreensTest, LeavesOutWhatPanelsTakeCountingUpwards) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    QWidget panel;
    panel.setWindowFlags(Qt::Tool | Qt::WindowDoesNotAcceptFocus);
    panel.setAttribute(Qt::WA_ShowWithoutActivating);
    panel.setGeometry(0, 760, 1280, 40);
    panel.show();
    ASSERT_EQ(QProcess::execute("xprop", {"-id", QString::number(panel.winId()), "-f",
                                          "_NET_WM_STRUT_PARTIAL", "32c", "-set",
                                          "_NET_WM_STRUT_PARTIAL", "0,0,0,40,0,0,0,0,0,0,0,1279"}),
              0);
    QtScreens screens;
    const Rect expected{{0, 40}, {1280, 760}};
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return screens.screens().front().visibleFrame == expected;
    })) << screens.screens().front().visibleFrame.origin.y;
    EXPECT_EQ(screens.screens().front().frame, (Rect{{0, 0}, {1280, 800}}));
}
