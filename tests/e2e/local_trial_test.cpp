// A new user tries the program with no account and no network: `scripts/run --local` in a fresh
// home, onboarding with the sign-in code the local backend prints, a command typed into a GTK 3
// editor answered by the local backend, and nothing left running after a quit made while the
// editor does not answer.

#include "application_windows.hpp"
#include "desktop_session.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/linux_platform_factory.hpp"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace pennial;
using namespace pennial::e2e;

namespace {

// build/<preset>/tests/<this program>: the source tree and the preset this test was built with.
struct BuildTree {
    QString source;
    QString preset;
};
BuildTree buildTree() {
    const QString self = QFileInfo("/proc/self/exe").canonicalFilePath();
    return {self.section('/', 0, -5), self.section('/', -3, -3)};
}

bool processGroupAlive(pid_t group) {
    return ::kill(-group, 0) == 0;
}

} // namespace

TEST(LocalTrial, ANewUserSignsInWithThePrintedCodeAndTheLocalBackendAnswersInAGtkEditor) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    const auto tree = buildTree();
    QTemporaryDir home;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME",
                                 "XDG_CACHE_HOME", "PENNIAL_QUIET_LOG", "PENNIAL_API_BASE_URL",
                                 "PENNIAL_SUPABASE_URL", "PENNIAL_SUPABASE_PUBLISHABLE_KEY"})
        environment.remove(variable);
    environment.insert("PENNIAL_PRESET", tree.preset);

    // As from a terminal: a process group of its own.
    QProcess run;
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.setChildProcessModifier([] { ::setsid(); });
    run.start(tree.source + "/scripts/run", {"--local"});
    ASSERT_TRUE(run.waitForStarted());
    const auto group = static_cast<pid_t>(run.processId());
    QString output;
    auto logged = [&](const QString& line, std::chrono::milliseconds timeout = 15s) {
        return waitUntil(
            [&] {
                output += run.readAll();
                return output.contains(line);
            },
            timeout);
    };
    auto dump = [&] {
        output += run.readAll();
        return output.toStdString();
    };
    auto stopRun = [&] {
        if (run.state() != QProcess::NotRunning)
            ::kill(group, SIGTERM); // only the script: it stops what it started
        waitUntil([&] { return run.state() == QProcess::NotRunning; }, 15s);
    };
    struct Stop {
        std::function<void()> stop;
        ~Stop() { stop(); }
    } stopAtEnd{stopRun};

    // The build is already there: only the check that nothing needs building.
    ASSERT_TRUE(logged("🔵 [Pennial] Not authenticated - sign-in required", 180s)) << dump();
    ASSERT_TRUE(output.contains("Local backend at http://127.0.0.1:")) << dump();
    // The program itself, started by the script in its session: the oldest of that name, as a
    // child it forks is called so until it runs its own program.
    QProcess find;
    find.start("pgrep", {"-o", "-s", QString::number(group), "-x", "pennial"});
    find.waitForFinished();
    const qint64 pennial = QString(find.readAllStandardOutput()).trimmed().toLongLong();
    ASSERT_GT(pennial, 0) << dump();
    QString pennialWindow;
    ASSERT_TRUE(waitUntil(
        [&] {
            pennialWindow = visibleWindow(pennial, "Pennial");
            return !pennialWindow.isEmpty();
        },
        15s));
    auto click = [&](int x, int y) {
        desktop_support::runTool("xdotool", {"mousemove", "--window", pennialWindow,
                                             QString::number(x), QString::number(y), "click", "1"});
    };
    int stepsShown = 0;
    auto nextStepShown = [&] {
        ++stepsShown;
        const bool shown = waitUntil(
            [&] {
                output += run.readAll();
                return output.count("🪟 [WindowFocus] Focusing window id=onboarding") >=
                       stepsShown;
            },
            15s);
        pumpFor(800ms);
        return shown;
    };
    // Onboarding's bottom bar (a 520 x 440 window): the button's and the skip link's places.
    constexpr int barY = 408;
    pumpFor(800ms);
    click(444, barY); // welcome: start the set-up
    ASSERT_TRUE(nextStepShown()) << dump();
    click(464, barY); // how it works: next
    ASSERT_TRUE(nextStepShown()) << dump();
    typeOnKeyboard("ada@example.test");
    desktop_support::runTool("xdotool", {"key", "Return"});

    const QRegularExpression printedCode("\\[LocalBackend\\] Sign-in code: (\\d{6})");
    QString code;
    ASSERT_TRUE(waitUntil(
        [&] {
            output += run.readAll();
            code = printedCode.match(output).captured(1);
            return !code.isEmpty();
        },
        15s))
        << dump();
    pumpFor(800ms);
    typeOnKeyboard(code.toStdString());
    ASSERT_TRUE(logged("✅ [Pennial] Remote data pull succeeded")) << dump();
    ASSERT_TRUE(nextStepShown()) << dump();
    click(378, barY); // profile: skip
    ASSERT_TRUE(nextStepShown()) << dump();
    click(440, barY); // done
    ASSERT_TRUE(logged("✅ [Pennial] Monitoring started successfully")) << dump();

    // The GTK 3 editor, in the same fresh home.
    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.start("mousepad", {"--disable-server"});
    ASSERT_TRUE(editor.waitForStarted());
    auto workspace = makeWorkspace(mainContext().get_executor());
    auto accessibility = makeAccessibility(workspace);
    auto focusedText = [&]() -> std::optional<std::string> {
        auto focused = accessibility->copyAttributeValue(accessibility->systemWideElement(),
                                                         ax::attribute::focusedUIElement);
        if (!focused.ok() || !focused.value()->asElement())
            return std::nullopt;
        auto value =
            accessibility->copyAttributeValue(*focused.value()->asElement(), ax::attribute::value);
        return value.ok() ? value.value()->asString() : std::nullopt;
    };
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto window = visibleWindow(editor.processId(), ".*Mousepad");
            if (window.isEmpty())
                return false;
            QProcess::execute("xdotool", {"windowactivate", "--sync", window});
            return focusedText() == std::optional<std::string>("");
        },
        20s))
        << "mousepad's text area never had the focus";
    typeOnKeyboard("helo  wrld ;;fix");
    const std::string answer = "Helo wrld. (local backend: fix)";
    EXPECT_TRUE(waitUntil([&] { return focusedText() == answer; }, 30s))
        << focusedText().value_or("(unreadable)") << "\n"
        << dump();

    // Quitting while the editor answers nothing: a second command's write is under way when the
    // editor stops. The program ends all the same, in order, and its local backend with it.
    pumpFor(1600ms); // a trigger this soon after a result is taken for a repeat
    typeOnKeyboard(" ;;fix");
    ASSERT_TRUE(waitUntil(
        [&] {
            output += run.readAll();
            return output.count("[Pennial] Replacing range") >= 2;
        },
        30s))
        << dump();
    ::kill(static_cast<pid_t>(editor.processId()), SIGSTOP);
    stopRun();
    editor.kill();
    editor.waitForFinished();
    EXPECT_EQ(run.state(), QProcess::NotRunning) << dump();
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit) << dump();
    EXPECT_EQ(run.exitCode(), 0) << dump();
    EXPECT_TRUE(waitUntil([&] { return !processGroupAlive(group); }, 5s))
        << "a process of scripts/run --local outlived it";
}
