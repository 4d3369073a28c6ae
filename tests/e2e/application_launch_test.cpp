// The application itself, started as the user starts it: on a first launch it comes up with its
// onboarding window and keeps running until asked to stop; a new user goes through onboarding,
// signs in against the local fake backend, and a command typed into another application is then
// replaced by the backend's answer.

#include "desktop_session.hpp"
#include "running_application.hpp"
#include "support/fake_backend.hpp"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pennial::e2e;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;
using pennial::testing::FakeBackend;

TEST(ApplicationLaunch, AFirstLaunchShowsOnboardingAndKeepsRunning) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    RunningApplication application;
    EXPECT_TRUE(application.logged("✅ [Pennial] Startup complete"))
        << application.output().toStdString();
    EXPECT_TRUE(waitUntil(
        [&] { return windowNames(application.process().processId()).contains("Pennial"); }, 10s));
    EXPECT_EQ(application.process().state(), QProcess::Running);
}

TEST(ApplicationLaunch, ANewUserSignsInAndACommandIsRunInAnotherApplication) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    FakeBackend backend;
    RunningApplication application(backend.baseURL());
    ASSERT_TRUE(application.logged("🔵 [Pennial] Not authenticated - sign-in required"))
        << application.output().toStdString();
    const auto pid = application.process().processId();
    auto dump = [&] { return application.output().toStdString(); };
    ASSERT_TRUE(application.openSignIn()) << dump();
    // The e-mail field has the keyboard; the code is the fake backend's.
    typeOnKeyboard("ada@example.test");
    pennial::desktop_support::runTool("xdotool", {"key", "Return"});
    ASSERT_TRUE(waitUntil([&] { return backend.requestCount(Endpoint::otpRequest) == 1; }, 10s))
        << dump();
    pumpFor(800ms);
    typeOnKeyboard("123456");
    // Signed in: the remote data comes in, then the profile step, which is skipped.
    ASSERT_TRUE(application.logged("✅ [Pennial] Remote data pull succeeded")) << dump();
    ASSERT_TRUE(application.nextOnboardingStepShown()) << dump();
    clickInWindow(pid, "Pennial", skipProfileX, bottomBarY);
    ASSERT_TRUE(application.nextOnboardingStepShown()) << dump();
    // The last step ends onboarding: monitoring starts and the commands open in the settings.
    clickInWindow(pid, "Pennial", openSettingsX, bottomBarY);
    ASSERT_TRUE(application.logged("✅ [Pennial] Monitoring started successfully")) << dump();

    TestEditor editor;
    backend.answerNext(
        Endpoint::transform,
        FakeAnswer::json(200, {{"transformedText", "hello world"}, {"processingTimeMs", 7}}));
    typeOnKeyboard("helo wrld ;;fix");
    EXPECT_TRUE(editor.waitForText("hello world", 15s)) << editor.text();
    EXPECT_EQ(backend.requestCount(Endpoint::transform), 1u);
}
