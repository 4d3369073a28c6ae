// The tray item in a real tray (trayer, light grey): drawn dark so that it shows, its menu opened
// with the left button and its entries used; and one instance per session: a second launch brings
// the first one's window forward and ends. Screenshots of the tray and the menu are saved for
// review (e2e_screenshots/).

#include "desktop_session.hpp"
#include "running_application.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <gtest/gtest.h>

using namespace pennial::e2e;
using pennial::desktop_support::runTool;

namespace {

QImage grabScreen(const QRect& area) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

void saveForReview(const QImage& image, const QString& name) {
    const QDir dir(QCoreApplication::applicationDirPath() + "/e2e_screenshots");
    dir.mkpath(".");
    image.save(dir.filePath(name + ".png"));
}

int visibleWindowCount(qint64 pid) {
    return static_cast<int>(visibleWindows(pid).size());
}

} // namespace

TEST(TrayOnDesktop, TheTrayItemShowsOnTheTrayAndItsMenuOpensOnALeftClick) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    RunningApplication application;
    auto dump = [&] { return application.output().toStdString(); };
    ASSERT_TRUE(application.logged("✅ [Pennial] Startup complete")) << dump();
    const auto pid = application.process().processId();
    ASSERT_TRUE(waitUntil([&] { return trayPanel().width() >= 20; }, 10s)) << "not embedded";
    pumpFor(1500ms); // the icon takes its colour once it sits in the tray
    const QRect panel = trayPanel();
    const QImage tray = grabScreen(panel);
    saveForReview(tray, "tray_item");
    int dark = 0;
    for (int y = 0; y < tray.height(); ++y)
        for (int x = 0; x < tray.width(); ++x)
            dark += QColor(tray.pixel(x, y)).lightness() < 100;
    EXPECT_GT(dark, 15) << "a white icon on the light grey tray cannot be seen";
    EXPECT_FALSE(application.output().contains("No system tray"));

    const QStringList before = visibleWindows(pid);
    const QPoint icon = panel.center();
    clickAt(icon);
    ASSERT_TRUE(waitUntil([&] { return visibleWindowCount(pid) > before.size(); }, 5s))
        << "the left click opened no menu";
    pumpFor(300ms);
    const QRect menu = newWindowFrame(pid, before);
    saveForReview(grabScreen(menu), "tray_menu");
    // A first launch's entries: the status line, a divider, Settings (disabled), About Pennial,
    // Check for Updates..., a divider, Quit Pennial; the two dividers are thin.
    const int row = (menu.height() - 4) / 5;
    clickAt({menu.x() + 40, menu.y() + 3 + row * 5 / 2});
    auto aboutIsOpen = [&] {
        for (const QString& window : visibleWindows(pid))
            if (windowGeometry(window).size() == QSize(324, 284))
                return true;
        return false;
    };
    EXPECT_TRUE(waitUntil(aboutIsOpen, 5s)) << "About Pennial opened no window";

    // Its last entry quits.
    pumpFor(300ms);
    clickAt(icon);
    pumpFor(500ms);
    clickAt({menu.x() + 40, menu.bottom() - row / 2});
    EXPECT_TRUE(application.process().waitForFinished(5000)) << dump();
    EXPECT_EQ(application.process().exitCode(), 0);
}

TEST(TrayOnDesktop, ASecondLaunchShowsTheFirstOnesWindowAndEnds) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    RunningApplication first;
    ASSERT_TRUE(first.logged("✅ [Pennial] Startup complete")) << first.output().toStdString();
    const auto pid = first.process().processId();
    ASSERT_TRUE(waitUntil([&] { return windowNames(pid).contains("Pennial"); }, 10s));
    const QString onboarding = visibleWindows(pid).value(0);
    runTool("xdotool", {"windowminimize", "--sync", onboarding});
    ASSERT_TRUE(waitUntil([&] { return !windowNames(pid).contains("Pennial"); }, 5s));

    RunningApplication second({}, first.runtimeDirectory());
    EXPECT_TRUE(second.process().waitForFinished(5000));
    EXPECT_EQ(second.process().exitCode(), 0);
    EXPECT_TRUE(
        second.logged("🪟 [Pennial] Already running: the running instance shows its window"))
        << second.output().toStdString();
    EXPECT_TRUE(first.logged("🪟 [Pennial] Another launch asked for the window"));
    EXPECT_TRUE(waitUntil([&] { return windowNames(pid).contains("Pennial"); }, 5s))
        << "the onboarding window is back";
    EXPECT_EQ(first.process().state(), QProcess::Running);
}
