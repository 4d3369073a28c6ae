// The sign-in code panel under a real window manager: at the code step, the onboarding window
// covered by another application's window brings the panel up, holding the code typed so far;
// raising the window again takes it away. A screenshot of the panel is saved for review.

#include "desktop_session.hpp"
#include "running_application.hpp"
#include "support/fake_backend.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <gtest/gtest.h>

using namespace pennial::e2e;
using pennial::desktop_support::runTool;
using pennial::testing::Endpoint;
using pennial::testing::FakeBackend;

namespace {

constexpr QSize panelSize{340, 132};

// The code panel's window, when it is up.
QString codePanel(qint64 pid) {
    for (const QString& window : visibleWindows(pid))
        if (windowGeometry(window).size() == panelSize)
            return window;
    return {};
}

QString firstLine(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished();
    return QString(process.readAllStandardOutput()).section('\n', 0, 0).trimmed();
}

} // namespace

TEST(CodePanelOnDesktop, ACoveredWindowAtTheCodeStepBringsThePanelUpAndRaisingItTakesItAway) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    FakeBackend backend;
    RunningApplication application(backend.baseURL());
    auto dump = [&] { return application.output().toStdString(); };
    ASSERT_TRUE(application.logged("🔵 [Pennial] Not authenticated - sign-in required")) << dump();
    const auto pid = application.process().processId();
    ASSERT_TRUE(waitUntil([&] { return windowNames(pid).contains("Pennial"); }, 10s));
    const QString onboarding = visibleWindows(pid).value(0);
    ASSERT_TRUE(application.openSignIn()) << dump();
    typeOnKeyboard("ada@example.test");
    runTool("xdotool", {"key", "Return"});
    ASSERT_TRUE(waitUntil([&] { return backend.requestCount(Endpoint::otpRequest) == 1; }, 10s))
        << dump();
    pumpFor(800ms);
    typeOnKeyboard("12");
    pumpFor(300ms);
    EXPECT_TRUE(codePanel(pid).isEmpty());

    // Another application's window laid over the whole card.
    TestEditor editor;
    const QString cover = firstLine("xdotool", {"search", "--onlyvisible", "--pid",
                                                QString::number(editor.pid()), "--name", "."});
    ASSERT_FALSE(cover.isEmpty());
    const QRect card = windowGeometry(onboarding);
    runTool("xdotool", {"windowsize", "--sync", cover, QString::number(card.width() + 200),
                        QString::number(card.height() + 200)});
    runTool("xdotool", {"windowmove", "--sync", cover, QString::number(card.x() - 100),
                        QString::number(card.y() - 100)});
    // The user comes back to the card, then switches to the other application, which covers it.
    runTool("xdotool", {"windowactivate", "--sync", onboarding});
    pumpFor(300ms);
    EXPECT_TRUE(codePanel(pid).isEmpty());
    editor.activate();
    ASSERT_TRUE(waitUntil([&] { return !codePanel(pid).isEmpty(); }, 5s))
        << "no code panel over the covered window";
    pumpFor(600ms); // slid in
    const QRect panel = windowGeometry(codePanel(pid));
    const QDir dir(QCoreApplication::applicationDirPath() + "/e2e_screenshots");
    dir.mkpath(".");
    QGuiApplication::primaryScreen()
        ->grabWindow(0, panel.x(), panel.y(), panel.width(), panel.height())
        .save(dir.filePath("code_panel_over_covered_window.png"));

    // Back to the window: the panel goes.
    runTool("xdotool", {"windowactivate", "--sync", onboarding});
    EXPECT_TRUE(waitUntil([&] { return codePanel(pid).isEmpty(); }, 5s))
        << "the panel stayed over the raised window";
}
