#include "desktop_support/third_party_app.hpp"

#include "base/unicode.hpp"
#include "desktop_support/qt_session.hpp"
#include "desktop_support/test_editor.hpp"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <csignal>
#include <stdexcept>
#include <sys/prctl.h>

namespace pennial::desktop_support {

namespace {

const char* program(ThirdPartyApp::Kind kind) {
    switch (kind) {
    case ThirdPartyApp::Kind::gtk3Editor:
        return "mousepad";
    case ThirdPartyApp::Kind::gtk4Editor:
        return "gnome-text-editor";
    case ThirdPartyApp::Kind::firefox:
        return "firefox-esr";
    case ThirdPartyApp::Kind::chromium:
        return "chromium";
    case ThirdPartyApp::Kind::writer:
        // Not its launcher script: the process that answers on the bus is this one.
        return "/usr/lib/libreoffice/program/soffice.bin";
    }
    return "";
}

QString besideTests(const char* variable, const char* relative) {
    if (const char* path = std::getenv(variable))
        return QString::fromLocal8Bit(path);
    // build/<preset>/{tests,bench}/<this program> -> build/<preset>/tools/...
    const QString here = QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2);
    return here + "/../tools/" + relative;
}

QString page(const std::string& name) {
    return QStringLiteral(PENNIAL_TEST_SOURCE_DIR "/desktop_support/") +
           QString::fromStdString(name);
}

// A first start shows nothing but the page: no welcome tab, no default-browser question.
constexpr const char* firefoxPreferences = R"(user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("app.update.enabled", false);
)";

void writeFile(const QString& path, const std::string& contents) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(contents.data(), static_cast<qint64>(contents.size())) !=
            static_cast<qint64>(contents.size()))
        throw std::runtime_error("cannot write " + path.toStdString());
}

std::int64_t codePoints(const std::string& text) {
    std::int64_t count = 0;
    for (char byte : text)
        count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return count;
}

// Runs xdotool to its end, the event loop running meanwhile.
bool xdotool(const QStringList& arguments, std::chrono::milliseconds timeout = 10s) {
    QProcess tool;
    tool.start("xdotool", arguments);
    const bool ended = waitUntil([&] { return tool.state() == QProcess::NotRunning; }, timeout);
    if (!ended) {
        tool.kill();
        tool.waitForFinished(1000);
    }
    return ended && tool.exitCode() == 0;
}

} // namespace

void tapKeys(const QStringList& keys) {
    if (!xdotool(QStringList{"key", "--clearmodifiers"} + keys))
        throw std::runtime_error("xdotool key failed");
}

bool ThirdPartyApp::installed(Kind kind) {
    return !QStandardPaths::findExecutable(program(kind)).isEmpty();
}

const char* ThirdPartyApp::name(Kind kind) {
    return kind == Kind::writer ? "writer" : program(kind);
}

ThirdPartyApp::ThirdPartyApp(Options options) : options_(std::move(options)) {
    reader_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    reader_.start(besideTests("PENNIAL_FIELD_READER", "field_reader/pennial_field_reader"),
                  options_.kind == Kind::writer ? QStringList{"--follow-focus"} : QStringList{});
    if (!reader_.waitForStarted(5000) || ask({}) != "ready")
        throw std::runtime_error("the field reader did not start");
    start();
    reset();
}

ThirdPartyApp::~ThirdPartyApp() {
    reader_.write("quit\n");
    if (!reader_.waitForFinished(2000))
        reader_.kill();
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

bool ThirdPartyApp::isBrowser() const {
    return options_.kind == Kind::firefox || options_.kind == Kind::chromium;
}

void ThirdPartyApp::start() {
    if (!folder_.isValid())
        throw std::runtime_error("no temporary folder");
    auto environment = QProcessEnvironment::systemEnvironment();
    // Settings stay in memory, and GTK 4 draws without a GPU.
    environment.insert("GSETTINGS_BACKEND", "memory");
    environment.insert("GSK_RENDERER", "cairo");
    environment.insert("GDK_BACKEND", options_.nativeWayland ? "wayland" : "x11");
    if (options_.nativeWayland)
        environment.insert("MOZ_ENABLE_WAYLAND", "1");
    environment.insert("NO_AT_BRIDGE", "0");
    environment.insert("SAL_USE_VCLPLUGIN", "gtk3");
    process_.setProcessEnvironment(environment);
    // Not the test's own output: were the test to die, an application left holding it would keep
    // the test runner waiting until its time-out. The application dies with the test, too.
    process_.setStandardOutputFile(folder_.filePath("stdout.log"));
    process_.setStandardErrorFile(folder_.filePath("stderr.log"));
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });

    const QString document = folder_.filePath("document.txt");
    // A page beside this file, or one served elsewhere.
    const QString address = (options_.page.starts_with("http://")
                                 ? QString::fromStdString(options_.page)
                                 : QUrl::fromLocalFile(page(options_.page)).toString()) +
                            "#" + QUrl::toPercentEncoding(QString::fromStdString(options_.field)) +
                            ":" + QUrl::toPercentEncoding(QString::fromStdString(options_.before)) +
                            ":" + QUrl::toPercentEncoding(QString::fromStdString(options_.after));
    QStringList arguments;
    switch (options_.kind) {
    case Kind::gtk3Editor:
        writeFile(document, options_.before + options_.after);
        arguments = {"--disable-server", document};
        break;
    case Kind::gtk4Editor:
        writeFile(document, options_.before + options_.after);
        arguments = {"--standalone", document};
        break;
    case Kind::writer:
        // Each line of a text document is a paragraph. A profile of its own: no restored
        // session, no first-start dialog.
        writeFile(document, options_.paragraphBefore + "\n" + options_.before + options_.after +
                                "\n" + options_.paragraphAfter);
        arguments = {"--norestore",
                     "--nologo",
                     "--nodefault",
                     "--writer",
                     "-env:UserInstallation=" +
                         QUrl::fromLocalFile(folder_.filePath("profile")).toString(),
                     document};
        break;
    case Kind::firefox: {
        const QString profile = folder_.filePath("profile");
        QDir().mkpath(profile);
        writeFile(profile + "/user.js", firefoxPreferences);
        arguments = {"--no-remote", "--new-instance", "--profile", profile, address};
        break;
    }
    case Kind::chromium:
        arguments = {"--force-renderer-accessibility",
                     "--user-data-dir=" + folder_.filePath("profile"), "--no-first-run",
                     "--no-default-browser-check", "--disable-gpu", "--password-store=basic",
                     // Its sandbox refuses to run as root, and in containers without user
                     // namespaces; the page is our own.
                     "--no-sandbox", address};
        if (options_.nativeWayland)
            arguments.prepend("--ozone-platform=wayland");
        break;
    }
    process_.start(program(options_.kind), arguments);
    if (!process_.waitForStarted(10000))
        throw std::runtime_error(std::string(program(options_.kind)) + " did not start");
    // The word processor's first start in a new profile only sets the profile up, and ends
    // asking to be started again (its launcher would).
    constexpr int restartRequested = 81;
    if (options_.kind == Kind::writer &&
        waitUntil([&] { return process_.state() == QProcess::NotRunning; }, 30s) &&
        process_.exitCode() == restartRequested) {
        process_.start(program(options_.kind), arguments);
        if (!process_.waitForStarted(10000))
            throw std::runtime_error(std::string(program(options_.kind)) + " did not start");
    }
    activate();
}

void ThirdPartyApp::activate() {
    if (options_.nativeWayland) {
        if (!waitUntil([&] { return text().has_value(); }, 60s))
            throw std::runtime_error(std::string(program(options_.kind)) +
                                     ": no field took the focus");
        return;
    }
    // Browsers name their window after the page, which names the field; editors after the file.
    const QStringList search =
        isBrowser()
            ? QStringList{"--name", "Pennial fields: " + QString::fromStdString(options_.field)}
            : QStringList{"--name", "document"};
    for (int attempt = 0; attempt < 60; ++attempt) {
        if (xdotool(QStringList{"search", "--onlyvisible"} + search +
                        QStringList{"windowactivate", "--sync"},
                    5s))
            return;
        pumpFor(500ms);
    }
    throw std::runtime_error(std::string(program(options_.kind)) + " showed no window");
}

void ThirdPartyApp::reset() {
    const std::string whole = options_.before + options_.after;
    if (isBrowser() && !options_.nativeWayland) {
        // The page puts its text back and the caret between the parts on F2.
        tapKeys({"F2"});
    } else {
        // The word processor's field is the paragraph the caret is in, once the focus has left
        // the one it was in.
        if (options_.kind == Kind::writer) {
            placeCaret();
            waitUntil(
                [&] {
                    const auto now = text();
                    return now && now != options_.paragraphBefore && now != options_.paragraphAfter;
                },
                5s);
        }
        if (text() != whole)
            ask("set " + QString::number(process_.processId()) + " " +
                QString::fromLatin1(QByteArray::fromStdString(whole).toHex()));
    }
    if (!waitUntil([&] { return text() == whole; }, 30s))
        throw std::runtime_error(
            std::string(program(options_.kind)) +
            ": the field did not get its text, it holds: " + text().value_or("<unreadable>"));
    if (!isBrowser() && !options_.nativeWayland)
        placeCaret();
    const auto expected = static_cast<std::int64_t>(unicode::utf16Length(options_.before));
    std::optional<std::int64_t> at;
    if (!waitUntil([&] { return (at = caret()) == expected; }, 5s))
        throw std::runtime_error(std::string(program(options_.kind)) + ": the caret is at " +
                                 (at ? std::to_string(*at) : "none") + ", not " +
                                 std::to_string(expected) + ", in \"" +
                                 text().value_or("<unreadable>") + "\" (" +
                                 ask("role " + QString::number(process_.processId())) + ")");
}

void ThirdPartyApp::placeCaret() {
    // As the user would: the end of the document, then back over what follows the caret (in the
    // word processor, the last paragraph: to its start, and one more).
    tapKeys({"ctrl+End"});
    if (options_.kind == Kind::writer)
        tapKeys({"ctrl+Up", "Left"});
    if (const auto back = codePoints(options_.after); back > 0)
        tapKeys({"--repeat", QString::number(back), "--delay", "5", "Left"});
}

std::string ThirdPartyApp::ask(const QString& command) {
    // Not a busy loop of reads: the application is a second client's too.
    pumpFor(25ms);
    if (!command.isEmpty())
        reader_.write(command.toUtf8() + '\n');
    if (!waitUntil([&] { return reader_.canReadLine() || reader_.state() != QProcess::Running; },
                   30s) ||
        !reader_.canReadLine())
        throw std::runtime_error("the field reader did not answer");
    return reader_.readLine().chopped(1).toStdString();
}

std::optional<std::string> ThirdPartyApp::text() {
    const auto answer = ask("text " + QString::number(process_.processId()));
    if (!answer.starts_with("text "))
        return std::nullopt;
    return QByteArray::fromHex(QByteArray::fromStdString(answer.substr(5))).toStdString();
}

std::optional<std::int64_t> ThirdPartyApp::caret() {
    const auto answer = ask("caret " + QString::number(process_.processId()));
    if (!answer.starts_with("caret "))
        return std::nullopt;
    return std::stoll(answer.substr(6));
}

std::optional<std::string> ThirdPartyApp::document() {
    const auto answer = ask("document " + QString::number(process_.processId()));
    if (!answer.starts_with("document "))
        return std::nullopt;
    return QByteArray::fromHex(QByteArray::fromStdString(answer.substr(9))).toStdString();
}

std::string ThirdPartyApp::activeWindowTitle() {
    QProcess tool;
    tool.start("xdotool", {"getactivewindow", "getwindowname"});
    waitUntil([&] { return tool.state() == QProcess::NotRunning; }, 5s);
    return tool.readAllStandardOutput().trimmed().toStdString();
}

bool ThirdPartyApp::waitForText(const std::string& expected, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return text() == expected; }, timeout);
}

} // namespace pennial::desktop_support
