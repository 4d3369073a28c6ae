// The application itself, started as the user starts it: on a first launch it comes up with its
// onboarding window and keeps running until asked to stop.

#include "desktop_session.hpp"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pennial::e2e;

namespace {

QString applicationPath() {
    // build/<preset>/tests/<this program> -> build/<preset>/src/pennial
    const QString tests = QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2);
    return tests + "/../src/pennial";
}

// The names of the process's top-level windows that are mapped.
QStringList windowNames(qint64 pid) {
    QProcess search;
    search.start("xdotool",
                 {"search", "--onlyvisible", "--pid", QString::number(pid), "--name", "."});
    search.waitForFinished();
    QStringList names;
    for (const auto& window :
         QString(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        QProcess name;
        name.start("xdotool", {"getwindowname", window});
        name.waitForFinished();
        names << QString(name.readAllStandardOutput()).trimmed();
    }
    return names;
}

} // namespace

TEST(ApplicationLaunch, AFirstLaunchShowsOnboardingAndKeepsRunning) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    QTemporaryDir home; // a user who has never run it
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.remove("XDG_CONFIG_HOME");
    environment.remove("XDG_STATE_HOME");
    environment.remove("PENNIAL_QUIET_LOG"); // its start-up is read from its log
    QProcess application;
    application.setProcessEnvironment(environment);
    application.setProcessChannelMode(QProcess::MergedChannels);
    application.start(applicationPath(), {});
    ASSERT_TRUE(application.waitForStarted());

    EXPECT_TRUE(
        waitUntil([&] { return windowNames(application.processId()).contains("Pennial"); }, 10s))
        << application.readAll().toStdString();
    EXPECT_EQ(application.state(), QProcess::Running);
    const QString output = application.readAll();
    EXPECT_TRUE(output.contains("✅ [Pennial] Startup complete")) << output.toStdString();

    application.terminate();
    EXPECT_TRUE(application.waitForFinished(5000));
}
