#pragma once
// The program itself, started as the user starts it, with a home of its own (a user who has never
// run it) and its log collected; and the names of a process's windows on the desktop.

#include "desktop_session.hpp"

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

namespace pennial::e2e {

// The program's path in the build tree.
QString applicationPath();

// The process's windows that are mapped, tray item and helper windows left out, and their names.
QStringList visibleWindows(qint64 pid);
QStringList windowNames(qint64 pid);
// A window's frame on the screen.
QRect windowGeometry(const QString& window);

// Clicks at a point of the process's mapped window named name, given from its top-left corner.
void clickInWindow(qint64 pid, const QString& name, int x, int y);
// Points first, as a hand does: a menu opened under a resting pointer takes the click once the
// pointer has moved over its entry.
void clickAt(const QPoint& point);

// The tray's panel on screen: trayer's window, as wide as the icons it holds.
QRect trayPanel();
// The frame of the window the process mapped beyond those it had before (a menu just opened).
QRect newWindowFrame(qint64 pid, const QStringList& before);
// Opens the tray item's menu and chooses its last entry, Quit Pennial.
bool quitFromTray(qint64 pid);

// Onboarding's buttons, from the window's top-left corner (520 x 440: the bottom bar's right end,
// and its skip link left of the button).
constexpr int bottomBarY = 408;
constexpr int startSetupX = 444;
constexpr int nextX = 464;
constexpr int skipProfileX = 378;
constexpr int openSettingsX = 440;

class RunningApplication {
public:
    // runtimeDirectory: the user session's runtime directory; each instance has one of its own
    // unless launches of the same session are meant.
    explicit RunningApplication(const std::string& backendURL = {},
                                const QString& runtimeDirectory = {});
    ~RunningApplication();
    RunningApplication(const RunningApplication&) = delete;
    RunningApplication& operator=(const RunningApplication&) = delete;

    bool logged(const QString& line, std::chrono::milliseconds timeout = 10s);
    // Waits until the line has been logged at least count times.
    bool loggedTimes(const QString& line, int count, std::chrono::milliseconds timeout = 10s);
    const QString& output() const { return output_; }
    // Waits until onboarding's next step has been brought forward and has faded in.
    bool nextOnboardingStepShown();
    // From a first launch's welcome to the sign-in step, whose e-mail field has the keyboard
    // (the desktop's accessibility is on: no permissions step).
    bool openSignIn();
    QProcess& process() { return process_; }
    QString runtimeDirectory() const { return runtimeDirectory_; }

private:
    QTemporaryDir home_;
    QString runtimeDirectory_;
    QProcess process_;
    QString output_;
    int onboardingSteps_ = 0;
};

} // namespace pennial::e2e
