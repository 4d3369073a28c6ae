// The user interface's thread while the application being written to stops answering: the editor
// is stopped (SIGSTOP) at a random moment within 150 ms of the last keystroke of a snippet's
// trigger (while its field is read, the trigger handled, or the snippet written) and left stopped
// for 3 s; the coordinator's main thread must keep turning all along. Reports the longest time the
// Qt event loop went without turning, over all tries (budget: under 50 ms), and how each try
// ended. Run inside scripts/desktop-session.

#include "app/app_coordinator.hpp"
#include "app/temp_folder.hpp"
#include "base/log.hpp"
#include "bench_desktop_editor.hpp"
#include "services/app_config.hpp"
#include "services/file_config_storage.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <random>

// Last: it brings Xlib, whose macros clash with the headers above.
#include "bench_desktop_coordinator.hpp"

using namespace pennial;
using namespace pennial::bench;

namespace {

constexpr const char* snippetName = "addr";
constexpr const char* snippet = "221B Baker Street";
constexpr int tries = 8;
// How long the editor stays stopped: past the time-outs of the calls it leaves unanswered.
constexpr auto stoppedFor = 3s;

// The longest the loop went without coming back to look, while it was being watched.
Milliseconds longestStall{0};

struct Stalls {
    std::vector<Milliseconds> longest; // per try
    int written = 0;
};

Stalls measureStalls() {
    testing::TempFolder folder;
    AppConfig config = AppConfig::defaults();
    config.commands.push_back(Command::make(snippetName, snippet, false));
    FileConfigStorage(folder / "config.json").saveNow(config);

    QtExecutionContext mainContext;
    auto coordinator = startMonitoringCoordinator(mainContext, folder.path());

    TestEditor editor;
    Keyboard keyboard;
    Stalls stalls;
    watchLoopTurns = [](std::chrono::steady_clock::duration turn) {
        longestStall = std::max(longestStall, Milliseconds(turn));
    };
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delay(0, 150);
    for (int attempt = 1; attempt <= tries; ++attempt) {
        keyboard.type("try " + std::to_string(attempt) + " ;;" + snippetName);
        runFor(std::chrono::milliseconds(delay(random)));
        ::kill(editor.pid(), SIGSTOP);
        longestStall = Milliseconds(0);
        runFor(stoppedFor);
        ::kill(editor.pid(), SIGCONT);
        runFor(2s); // whatever was held up finishes
        stalls.longest.push_back(longestStall);
        if (editor.text().ends_with(snippet))
            ++stalls.written;
        runFor(1600ms); // past the cooldown after a command
        keyboard.type("\n");
    }
    coordinator.reset();
    runFor(50ms);
    return stalls;
}

void stoppedApplication(benchmark::State& state) {
    if (!hasDisplay()) {
        state.SkipWithError("needs a desktop session (scripts/desktop-session)");
        return;
    }
    int argc = 1;
    char name[] = "bench_desktop_stall";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    for (auto _ : state) {
        auto stalls = measureStalls();
        std::sort(stalls.longest.begin(), stalls.longest.end());
        state.counters["longest_stall_ms"] = stalls.longest.back().count();
        state.counters["median_try_stall_ms"] = stalls.longest[stalls.longest.size() / 2].count();
        state.counters["tries"] = static_cast<double>(stalls.longest.size());
        state.counters["written_after_continue"] = stalls.written;
    }
}

BENCHMARK(stoppedApplication)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
