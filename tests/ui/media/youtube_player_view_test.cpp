// The embedded video: its own loads and reloads stay in the view, everything the user follows goes
// to the default browser, and the view keeps showing its page.

#include "media_test_support.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "ui/media/youtube_player_view.hpp"
#include "ui_support/qt_input.hpp"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace pennial {
namespace {

class YouTubePlayerViewTest : public ::testing::Test {
protected:
    void click(QWidget& widget, Qt::MouseButton button = Qt::LeftButton) {
        testing::clickWidget(&widget, button);
    }

    SimDesktop desktop;
};

TEST_F(YouTubePlayerViewTest, TheViewOpensOnTheVideosEmbedPageWithoutOpeningAnything) {
    YouTubePlayerView view("a1B2c3D4e5F", desktop.workspace());
    EXPECT_EQ(view.videoID(), "a1B2c3D4e5F");
    EXPECT_EQ(view.currentURL(), "https://www.youtube.com/embed/a1B2c3D4e5F");
    EXPECT_TRUE(desktop.openedURLs().empty());
}

TEST_F(YouTubePlayerViewTest, EveryNavigationTheUserSetsOffOpensInTheBrowserAndIsCancelled) {
    YouTubePlayerView view("abc", desktop.workspace());
    const std::string page = view.currentURL();
    const std::vector<NavigationType> outside{
        NavigationType::linkActivated, NavigationType::formSubmitted, NavigationType::backForward,
        NavigationType::formResubmitted};
    std::vector<std::string> expected;
    for (const NavigationType type : outside) {
        const std::string url = "https://example.org/" + std::to_string(static_cast<int>(type));
        EXPECT_EQ(view.navigate({type, url}), NavigationPolicy::cancel);
        expected.push_back(url);
    }
    EXPECT_EQ(desktop.openedURLs(), expected);
    EXPECT_EQ(view.currentURL(), page) << "the view stays on its page";

    // Without an address there is nothing to open, and still nothing is followed.
    EXPECT_EQ(view.navigate({NavigationType::linkActivated, std::nullopt}),
              NavigationPolicy::cancel);
    EXPECT_EQ(desktop.openedURLs().size(), expected.size());
}

TEST_F(YouTubePlayerViewTest, ThePagesOwnLoadsAndReloadsStayInTheView) {
    YouTubePlayerView view("abc", desktop.workspace());
    EXPECT_EQ(view.navigate({NavigationType::reload, view.currentURL()}), NavigationPolicy::allow);
    EXPECT_EQ(view.currentURL(), "https://www.youtube.com/embed/abc");

    EXPECT_EQ(view.navigate({NavigationType::other, "https://www.youtube.com/embed/abc?start=3"}),
              NavigationPolicy::allow);
    EXPECT_EQ(view.currentURL(), "https://www.youtube.com/embed/abc?start=3");
    EXPECT_TRUE(desktop.openedURLs().empty());
}

TEST_F(YouTubePlayerViewTest, AClickOrTheKeyboardOpensTheVideoInTheBrowser) {
    YouTubePlayerView view("abc", desktop.workspace());
    view.resize(320, 180);
    testing::saveScreenshot(view, QStringLiteral("video_poster"));

    click(view, Qt::RightButton);
    EXPECT_TRUE(desktop.openedURLs().empty()) << "only the primary button follows the link";

    click(view);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QCoreApplication::sendEvent(&view, &space);
    EXPECT_EQ(desktop.openedURLs(), (std::vector<std::string>{
                                        "https://www.youtube.com/watch?v=abc",
                                        "https://www.youtube.com/watch?v=abc",
                                    }));
    EXPECT_EQ(view.currentURL(), "https://www.youtube.com/embed/abc");
}

TEST_F(YouTubePlayerViewTest, AnIdCannotReachOutsideItsPlaceInTheAddress) {
    EXPECT_EQ(YouTubePlayerView::embedURL("../x?y=1#z"),
              "https://www.youtube.com/embed/..%2Fx%3Fy%3D1%23z");
    EXPECT_EQ(YouTubePlayerView::watchURL("a&list=evil"),
              "https://www.youtube.com/watch?v=a%26list%3Devil");
}

} // namespace
} // namespace pennial
