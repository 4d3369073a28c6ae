// "Check for Updates..." chosen in the tray menu of a program installed for the user: the update
// dialog comes up with what the signed feed says.

#include "application_windows.hpp"
#include "desktop_session.hpp"
#include "support/fake_update_feed.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::e2e;

TEST(UpdateCheck, CheckForUpdatesInTheTrayMenuShowsTheUpdateDialog) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    // The session's tray (scripts/desktop-session) holds the tray item.
    pennial::testing::FakeUpdateFeed feed;
    // Signed with a key the program does not know: a build without a key still tells of it.
    feed.publish({"0.6.0", "Faster palette.", feed.archiveURL(), 10, std::string(64, '0')});
    // The program as installed for the user, in a fresh home.
    QTemporaryDir home;
    const QString installed = home.path() + "/.local/opt/pennial/pennial";
    QDir().mkpath(QFileInfo(installed).path());
    const QString built =
        QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2) + "/../src/pennial";
    ASSERT_TRUE(QFile::copy(built, installed));
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "PENNIAL_QUIET_LOG"})
        environment.remove(variable);
    environment.insert("PENNIAL_UPDATE_FEED_URL", QString::fromStdString(feed.feedURL()));
    QProcess application;
    application.setProcessEnvironment(environment);
    application.setProcessChannelMode(QProcess::MergedChannels);
    application.start(installed, {});
    ASSERT_TRUE(application.waitForStarted());
    QString output;
    auto logged = [&](const QString& line) {
        return waitUntil(
            [&] {
                output += application.readAll();
                return output.contains(line);
            },
            15s);
    };
    ASSERT_TRUE(logged("🔵 [UpdateService] Using the signed update feed")) << output.toStdString();
    ASSERT_TRUE(logged("✅ [Pennial] Startup complete")) << output.toStdString();

    // The tray item: the program's small window inside the tray.
    QString trayItem;
    ASSERT_TRUE(waitUntil(
        [&] {
            QProcess search;
            search.start("xdotool", {"search", "--onlyvisible", "--pid",
                                     QString::number(application.processId()), "--name", ""});
            search.waitForFinished();
            for (const auto& window :
                 QString(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
                QProcess geometry;
                geometry.start("xdotool", {"getwindowgeometry", "--shell", window});
                geometry.waitForFinished();
                const QString shape = geometry.readAllStandardOutput();
                if (shape.contains(QRegularExpression("WIDTH=([1-5]?[0-9])\\n")))
                    trayItem = window;
            }
            return !trayItem.isEmpty();
        },
        15s))
        << "no tray item";
    // Its menu, and in it the first enabled entries of a first launch: "About Pennial", then
    // "Check for Updates...".
    desktop_support::runTool("xdotool",
                             {"mousemove", "--window", trayItem, "4", "4", "click", "3"});
    pumpFor(800ms);
    desktop_support::runTool("xdotool", {"key", "Down", "Down", "Return"});

    EXPECT_TRUE(waitUntil(
        [&] { return !visibleWindow(application.processId(), "Pennial Update").isEmpty(); }, 10s))
        << output.toStdString();
    EXPECT_TRUE(logged("🔵 [UpdateService] Version 0.6.0 is available")) << output.toStdString();

    application.terminate();
    application.waitForFinished(5000);
}
