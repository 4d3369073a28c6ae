// The program started from a download, in a fresh home: it offers to install itself for the user,
// and on "Install" the installed copy takes over, with its desktop entry and icon in place.

#include "app/update_feed.hpp"
#include "application_windows.hpp"
#include "desktop_session.hpp"
#include "platform/linux/install/user_installation.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::e2e;

namespace {

// The process ids running the program at that path.
QStringList processesOf(const QString& program) {
    QProcess find;
    find.start("pgrep", {"-f", "-x", QRegularExpression::escape(program)});
    find.waitForFinished();
    return QString(find.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

TEST(InstallFromDownload, InstallPutsTheProgramInTheHomeAndTheInstalledCopyTakesOver) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    QTemporaryDir home;
    const QString downloaded = home.path() + "/Downloads/pennial-0.5.35/pennial";
    QDir().mkpath(QFileInfo(downloaded).path());
    const QString built =
        QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2) + "/../src/pennial";
    ASSERT_TRUE(QFile::copy(built, downloaded));
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
        environment.remove(variable);
    QProcess application;
    application.setProcessEnvironment(environment);
    // Its output, and that of the copy it starts, goes where ours goes: no pipe left to fill.
    application.setProcessChannelMode(QProcess::ForwardedChannels);
    application.start(downloaded, {});
    ASSERT_TRUE(application.waitForStarted());

    QString question;
    ASSERT_TRUE(waitUntil(
        [&] {
            question = visibleWindow(application.processId(), "Install Pennial");
            return !question.isEmpty();
        },
        15s));
    // "Install" is the question's default button; the window manager may take a moment to give
    // the question the keyboard. The question is looked up again before each try: once it has
    // been answered its window is gone, and the copy of the program and the hand-over that
    // follow take a while on a loaded machine.
    EXPECT_TRUE(waitUntil(
        [&] {
            question = visibleWindow(application.processId(), "Install Pennial");
            if (!question.isEmpty()) {
                QProcess::execute("timeout",
                                  {"5", "xdotool", "windowactivate", "--sync", question});
                QProcess::execute("xdotool", {"key", "--window", question, "Return"});
            }
            pumpFor(500ms);
            return application.state() == QProcess::NotRunning;
        },
        30s))
        << "the downloaded copy hands over and quits";
    EXPECT_EQ(application.exitStatus(), QProcess::NormalExit) << "it ends cleanly";
    const QString installed = home.path() + "/.local/opt/pennial/pennial";
    EXPECT_TRUE(waitUntil([&] { return !processesOf(installed).isEmpty(); }, 15s))
        << "the installed copy is started";
    EXPECT_TRUE(QFileInfo(installed).isExecutable());
    EXPECT_TRUE(
        QFile::exists(home.path() + "/.local/share/applications/com.pennial.Pennial.desktop"));
    EXPECT_TRUE(QFile::exists(home.path() +
                              "/.local/share/icons/hicolor/scalable/apps/com.pennial.Pennial.svg"));
    EXPECT_TRUE(QFile::exists(downloaded));

    for (const auto& pid : processesOf(installed))
        ::kill(pid.toInt(), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return processesOf(installed).isEmpty(); }, 10s));
}

// The updater of an installed copy reads the version of the program it is about to put in place
// from its file: a build must name its own.
TEST(InstallFromDownload, TheBuiltProgramNamesItsVersion) {
    const auto built =
        std::filesystem::canonical("/proc/self/exe").parent_path() / "../src/pennial";
    const auto version = programVersion(built);
    ASSERT_TRUE(version);
    EXPECT_TRUE(parseVersion(*version)) << *version;
}
