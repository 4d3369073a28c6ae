// The X11 workspace: the frontmost application and its activations, followed as the window
// manager moves the active window; this application's registered windows.

#include "facilities_fixture.hpp"

#include <QWidget>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace pennial;
using namespace pennial::desktop;

namespace {

class X11WorkspaceTest : public FacilitiesTest {
protected:
    // Runs the main loop until an activation of pid arrived; false once the time is up.
    bool activationOf(Pid pid, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            for (const auto& application : activations)
                if (application.processIdentifier == pid)
                    return true;
            io.restart();
            io.run_for(10ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    std::vector<RunningApplication> activations;
    const std::thread::id mainThread = std::this_thread::get_id();
};

} // namespace

TEST_F(X11WorkspaceTest, FollowsTheApplicationOfTheActiveWindow) {
    auto subscription = workspace->observeApplicationActivation(
        io.get_executor(), [this](const RunningApplication& application) {
            EXPECT_EQ(std::this_thread::get_id(), mainThread);
            activations.push_back(application);
        });
    TestEditor first("multi");
    ASSERT_TRUE(activationOf(first.pid()));
    TestEditor second("single");
    ASSERT_TRUE(activationOf(second.pid()));

    auto frontmost = workspace->frontmostApplication();
    ASSERT_TRUE(frontmost);
    EXPECT_EQ(frontmost->processIdentifier, second.pid());
    EXPECT_EQ(frontmost->localizedName, "pennial-test-editor");    // the name it gives itself
    EXPECT_EQ(frontmost->bundleIdentifier, "pennial-test-editor"); // its window's class
    EXPECT_EQ(workspace->activeWindowProcess(), second.pid());

    activations.clear();
    first.activate();
    ASSERT_TRUE(activationOf(first.pid()));
    EXPECT_EQ(workspace->frontmostApplication()->processIdentifier, first.pid());

    // Dropped, the subscription hears of no more activations.
    subscription.reset();
    activations.clear();
    second.activate();
    EXPECT_TRUE(waitUntil([&] { return workspace->activeWindowProcess() == second.pid(); }));
    EXPECT_FALSE(activationOf(second.pid(), 100ms));
    EXPECT_EQ(workspace->frontmostApplication()->processIdentifier, second.pid());
}

TEST_F(X11WorkspaceTest, KnowsItsOwnWindowsWhileTheyLive) {
    auto settings = std::make_unique<QWidget>();
    // Shown without taking the focus from whatever has it.
    settings->setWindowFlags(Qt::Tool | Qt::WindowDoesNotAcceptFocus);
    settings->setAttribute(Qt::WA_ShowWithoutActivating);
    workspace->addOwnWindow("settings", settings.get());
    EXPECT_EQ(workspace->ownWindows(), (std::vector<OwnWindow>{{"settings", false}}));
    settings->show();
    EXPECT_EQ(workspace->ownWindows(), (std::vector<OwnWindow>{{"settings", true}}));
    settings.reset();
    EXPECT_TRUE(workspace->ownWindows().empty());
    EXPECT_EQ(workspace->currentProcessId(), ::getpid());
}

TEST_F(X11WorkspaceTest, OpensOnlyAddressesWithAScheme) {
    EXPECT_FALSE(workspace->openURL("--help"));
    EXPECT_FALSE(workspace->openURL("pennial.com/settings"));
}
