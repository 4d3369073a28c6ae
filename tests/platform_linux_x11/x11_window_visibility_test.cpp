// Window visibility under a real window manager: a shown window stops counting as seen when
// another window covers it wholly, when it is minimised, and when it is moved to another
// workspace; partly uncovered, restored, or back on the current workspace, it is seen again.

#include "desktop.hpp"
#include "platform/linux/x11/x11_window_visibility.hpp"

#include <QRasterWindow>
#include <gtest/gtest.h>

namespace pennial::desktop {
namespace {

class Plain : public QRasterWindow {
public:
    Plain(const QRect& frame, const QString& title) {
        setGeometry(frame);
        setTitle(title);
    }
};

QString id(const QWindow& window) {
    return QString::number(window.winId());
}

TEST(X11WindowVisibility, CoveredMinimisedOrElsewhereIsNotSeen) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    auto visibility = X11WindowVisibility::open();
    ASSERT_NE(visibility, nullptr);
    auto seen = [&](const QWindow& window, bool expected) {
        return waitUntil([&] { return visibility->isWindowSeen(window.winId()) == expected; }, 3s);
    };

    Plain ours({200, 200, 300, 200}, "ours");
    ours.show();
    ASSERT_TRUE(seen(ours, true));

    Plain cover({150, 120, 500, 400}, "cover");
    cover.show();
    runTool("xdotool", {"windowactivate", "--sync", id(cover)});
    EXPECT_TRUE(seen(ours, false)) << "wholly covered";
    cover.setPosition(420, 120);
    EXPECT_TRUE(seen(ours, true)) << "partly uncovered";
    cover.hide();

    ours.showMinimized();
    EXPECT_TRUE(seen(ours, false)) << "minimised";
    ours.showNormal();
    EXPECT_TRUE(seen(ours, true));

    runTool("xdotool", {"set_num_desktops", "2"});
    Restore oneDesktop([] { runTool("xdotool", {"set_num_desktops", "1"}); });
    runTool("xdotool", {"set_desktop_for_window", id(ours), "1"});
    EXPECT_TRUE(seen(ours, false)) << "on another workspace";
    runTool("xdotool", {"set_desktop_for_window", id(ours), "0"});
    EXPECT_TRUE(seen(ours, true));
}

} // namespace
} // namespace pennial::desktop
