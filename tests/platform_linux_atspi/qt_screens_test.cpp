// The screens from Qt, in the coordinates of the screens interface, against the session's one
// 1280x800 screen.

#include "desktop_session.hpp"
#include "platform/linux/qt/qt_screens.hpp"

#include <QCoreApplication>
#include <QCursor>
#include <QProcess>
#include <QProcessEnvironment>
#include <QWidget>
#include <cmath>
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

// With the screens scaled twice (QT_SCALE_FACTOR=2, as on a high-density screen), a point in the
// window system's device pixels comes out where Qt itself puts the pointer standing on it. Run in
// a process of its own, started by the next test, since the scale is read at start-up.
TEST(QtScreensScaledTest, DevicePixelsBecomeThePointsTheScreensUse) {
    if (!available() || qgetenv("QT_SCALE_FACTOR") != "2")
        GTEST_SKIP() << "runs inside the scaled process";
    QtScreens screens;
    EXPECT_EQ(screens.screens().front().frame, (Rect{{0, 0}, {640, 400}}));
    for (const QPoint device : {QPoint(601, 301), QPoint(10, 790), QPoint(1270, 20)}) {
        ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", QString::number(device.x()),
                                                QString::number(device.y())}),
                  0);
        const Point logical = screens.fromDevicePixels({double(device.x()), double(device.y())});
        EXPECT_TRUE(waitUntil([&] {
            const QPoint pointer = QCursor::pos();
            return std::abs(pointer.x() - logical.x) <= 1 && std::abs(pointer.y() - logical.y) <= 1;
        })) << device.x()
            << "," << device.y() << " -> " << logical.x << "," << logical.y << ", the pointer at "
            << QCursor::pos().x() << "," << QCursor::pos().y();
    }
}

TEST(QtScreensTest, ScaledScreensTakeDevicePixelsAtTheirScale) {
    if (!available() || qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        GTEST_SKIP() << "needs a desktop session";
    QProcess scaled;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_SCALE_FACTOR", "2");
    scaled.setProcessEnvironment(environment);
    scaled.setProcessChannelMode(QProcess::MergedChannels);
    scaled.start(QCoreApplication::applicationFilePath(),
                 {"--gtest_filter=QtScreensScaledTest.*", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(scaled.waitForFinished(30000));
    const QString output = scaled.readAll();
    EXPECT_EQ(scaled.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
