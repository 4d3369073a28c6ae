#include "running_application.hpp"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace pennial::e2e {

QString applicationPath() {
    // build/<preset>/tests/<this program> -> build/<preset>/src/pennial
    const QString tests = QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2);
    return tests + "/../src/pennial";
}

namespace {

QString toolOutput(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished();
    return QString(process.readAllStandardOutput()).trimmed();
}

} // namespace

QRect windowGeometry(const QString& window) {
    const QString shell = toolOutput("xdotool", {"getwindowgeometry", "--shell", window});
    auto value = [&](const QString& key) {
        for (const QString& line : shell.split('\n'))
            if (line.startsWith(key + "="))
                return line.section('=', 1).toInt();
        return 0;
    };
    return {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
}

QStringList visibleWindows(qint64 pid) {
    QStringList windows;
    for (const auto& window : toolOutput("xdotool", {"search", "--onlyvisible", "--pid",
                                                     QString::number(pid), "--name", "."})
                                  .split('\n', Qt::SkipEmptyParts))
        // Not the tray item nor the toolkit's helper windows.
        if (windowGeometry(window).width() >= 50)
            windows << window;
    return windows;
}

QStringList windowNames(qint64 pid) {
    QStringList names;
    for (const auto& window : visibleWindows(pid))
        names << toolOutput("xdotool", {"getwindowname", window});
    return names;
}

void clickInWindow(qint64 pid, const QString& name, int x, int y) {
    for (const auto& window : visibleWindows(pid))
        if (toolOutput("xdotool", {"getwindowname", window}) == name) {
            desktop_support::runTool("xdotool",
                                     {"mousemove", "--window", window, QString::number(x),
                                      QString::number(y), "click", "1"});
            return;
        }
}

void clickAt(const QPoint& point) {
    desktop_support::runTool("xdotool",
                             {"mousemove", QString::number(point.x()), QString::number(point.y())});
    pumpFor(150ms);
    desktop_support::runTool("xdotool", {"click", "1"});
}

QRect trayPanel() {
    const QString window = toolOutput("xdotool", {"search", "--classname", "^panel$"});
    return window.isEmpty() ? QRect() : windowGeometry(window.section('\n', 0, 0));
}

QRect newWindowFrame(qint64 pid, const QStringList& before) {
    for (const QString& window : visibleWindows(pid))
        if (!before.contains(window))
            return windowGeometry(window);
    return {};
}

bool quitFromTray(qint64 pid) {
    if (!waitUntil([] { return trayPanel().width() >= 20; }, 10s))
        return false;
    pumpFor(500ms);
    const QStringList before = visibleWindows(pid);
    clickAt(trayPanel().center());
    if (!waitUntil([&] { return visibleWindows(pid).size() > before.size(); }, 5s))
        return false;
    pumpFor(300ms);
    const QRect menu = newWindowFrame(pid, before);
    clickAt({menu.x() + 40, menu.bottom() - 12});
    return true;
}

RunningApplication::RunningApplication(const std::string& backendURL,
                                       const QString& runtimeDirectory)
    : runtimeDirectory_(runtimeDirectory) {
    if (runtimeDirectory_.isEmpty()) {
        runtimeDirectory_ = QDir(home_.path()).filePath("runtime");
        QDir().mkpath(runtimeDirectory_);
        QFile::setPermissions(runtimeDirectory_,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home_.path());
    environment.insert("XDG_RUNTIME_DIR", runtimeDirectory_);
    environment.remove("XDG_CONFIG_HOME");
    environment.remove("XDG_STATE_HOME");
    environment.remove("PENNIAL_QUIET_LOG"); // its progress is read from its log
    if (!backendURL.empty())
        for (const char* variable : {"PENNIAL_API_BASE_URL", "PENNIAL_SUPABASE_URL"})
            environment.insert(variable, QString::fromStdString(backendURL));
    environment.insert("PENNIAL_SUPABASE_PUBLISHABLE_KEY", "local-key");
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(applicationPath(), {});
    process_.waitForStarted();
}

RunningApplication::~RunningApplication() {
    process_.terminate();
    process_.waitForFinished(5000);
}

bool RunningApplication::logged(const QString& line, std::chrono::milliseconds timeout) {
    return waitUntil(
        [&] {
            output_ += process_.readAll();
            return output_.contains(line);
        },
        timeout);
}

bool RunningApplication::loggedTimes(const QString& line, int count,
                                     std::chrono::milliseconds timeout) {
    return waitUntil(
        [&] {
            output_ += process_.readAll();
            return output_.count(line) >= count;
        },
        timeout);
}

bool RunningApplication::nextOnboardingStepShown() {
    const bool shown =
        loggedTimes("🪟 [WindowFocus] Focusing window id=onboarding", ++onboardingSteps_);
    pumpFor(800ms);
    return shown;
}

bool RunningApplication::openSignIn() {
    const auto pid = process_.processId();
    if (!waitUntil([&] { return windowNames(pid).contains("Pennial"); }, 10s))
        return false;
    pumpFor(800ms);
    clickInWindow(pid, "Pennial", startSetupX, bottomBarY);
    if (!nextOnboardingStepShown())
        return false;
    clickInWindow(pid, "Pennial", nextX, bottomBarY);
    return nextOnboardingStepShown();
}

} // namespace pennial::e2e
