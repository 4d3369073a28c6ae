// The program as a shell starts and ends it: --help and --version answer without a display and
// without starting the tray program, a wrong option is refused with the usage, a session with no
// display is told so in one line, and the signals a logout or a terminal sends end it as its Quit
// item does, with exit status 0.

#include "desktop_session.hpp"
#include "running_application.hpp"

#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>
#include <gtest/gtest.h>

using namespace pennial::e2e;

namespace {

struct Finished {
    int status = -1;
    QString out;
    QString err;
};

Finished runProgram(const QStringList& arguments, bool withDisplay = true) {
    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    if (!withDisplay) {
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
    }
    process.setProcessEnvironment(environment);
    process.start(applicationPath(), arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

TEST(CommandLine, HelpAndVersionPrintAndEndAWrongOptionIsRefusedAndNoDisplayIsToldInOneLine) {
    for (const QString& help : {"--help", "-h"}) {
        const auto run = runProgram({help}, false);
        EXPECT_EQ(run.status, 0) << help.toStdString();
        EXPECT_TRUE(run.out.startsWith("Usage: pennial")) << run.out.toStdString();
    }
    const auto version = runProgram({"--version"}, false);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QString("Pennial %1\n").arg(PENNIAL_TEST_VERSION));

    const auto wrong = runProgram({"--frobnicate"}, false);
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_TRUE(wrong.err.contains("unknown option '--frobnicate'")) << wrong.err.toStdString();
    EXPECT_TRUE(wrong.err.contains("Usage: pennial"));

    const auto headless = runProgram({}, false);
    EXPECT_EQ(headless.status, 1);
    EXPECT_EQ(headless.err.count('\n'), 1) << headless.err.toStdString();
    EXPECT_TRUE(headless.err.contains("needs a graphical desktop session"));
}

TEST(QuitSignals, ALogoutsOrATerminalsSignalQuitsInOrderWithStatusZero) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    const std::pair<int, const char*> signals[] = {
        {SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
    for (const auto& [signal, name] : signals) {
        RunningApplication application;
        ASSERT_TRUE(application.logged("✅ [Pennial] Startup complete")) << name;
        ::kill(static_cast<pid_t>(application.process().processId()), signal);
        EXPECT_TRUE(application.process().waitForFinished(10000)) << name;
        EXPECT_TRUE(application.logged(QString("👋 [Pennial] Quitting on %1").arg(name), 1s))
            << application.output().toStdString();
        EXPECT_EQ(application.process().exitStatus(), QProcess::NormalExit) << name;
        EXPECT_EQ(application.process().exitCode(), 0) << name;
    }
}
