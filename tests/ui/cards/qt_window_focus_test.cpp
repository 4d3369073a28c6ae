// The focus rules: which policy is reported and kept, which window is brought forward, and when
// the last of our windows counts as gone.

#include "base/log.hpp"
#include "cards_test_support.hpp"
#include "ui/cards/qt_window_focus.hpp"
#include "ui/cards/window_identifier.hpp"

#include <QWidget>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::ListedOwnWindows;

class WindowFocusTest : public ::testing::Test {
protected:
    std::unique_ptr<QWidget> listed(const std::string& identifier, bool shown) {
        auto window = std::make_unique<QWidget>();
        setWindowIdentifier(*window, identifier);
        ownWindows->addOwnWindow(identifier, window.get());
        if (shown)
            window->show();
        return window;
    }

    std::shared_ptr<ListedOwnWindows> ownWindows = std::make_shared<ListedOwnWindows>();
    QtWindowFocus focus{ownWindows};
    LogCapture log;
};

TEST_F(WindowFocusTest, ShowingTheAppLiftsOnlyAProhibitedPolicy) {
    const struct {
        ActivationPolicy before;
        ActivationPolicy after;
        const char* line;
    } cases[] = {
        {ActivationPolicy::prohibited, ActivationPolicy::accessory,
         "🪟 [WindowFocus] Activating app (policy: accessory)"},
        {ActivationPolicy::accessory, ActivationPolicy::accessory,
         "🪟 [WindowFocus] Activating app (policy: accessory)"},
        {ActivationPolicy::regular, ActivationPolicy::regular,
         "🪟 [WindowFocus] Activating app (policy: regular)"},
    };
    for (const auto& each : cases) {
        log.clear();
        focus.setActivationPolicy(each.before);
        focus.showAppForUserInteraction();
        EXPECT_EQ(focus.activationPolicy(), each.after);
        EXPECT_EQ(log.lines(), std::vector<std::string>{each.line});
    }
}

TEST_F(WindowFocusTest, FocusBringsAWindowForwardAndNamesIt) {
    auto about = listed("about", false);
    about->showMinimized();
    focus.focus(*about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isMinimized());

    QWidget unnamed;
    focus.focus(unnamed);
    EXPECT_TRUE(unnamed.isVisible());
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"🪟 [WindowFocus] Focusing window id=about",
                                        "🪟 [WindowFocus] Focusing window id=none"}));
}

TEST_F(WindowFocusTest, OnlyTheLastOfOurWindowsGoingIsNoted) {
    const std::string noneLeft = "🪟 [WindowFocus] No user windows left (policy: accessory)";
    auto about = listed("about", false);
    auto panel = listed("notch-panel", true);
    focus.restoreAccessoryIfNoUserWindows();
    EXPECT_TRUE(log.lines().empty()) << "a hidden about window still counts";

    about.reset();
    focus.restoreAccessoryIfNoUserWindows();
    EXPECT_EQ(log.lines(), std::vector<std::string>{noneLeft}) << "other windows do not count";

    focus.setActivationPolicy(ActivationPolicy::regular);
    panel.reset();
    log.clear();
    focus.restoreAccessoryIfNoUserWindows();
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "🪟 [WindowFocus] No user windows left (policy: regular)"}));
    EXPECT_EQ(focus.activationPolicy(), ActivationPolicy::regular) << "nothing is restored";
}

} // namespace
} // namespace pennial
