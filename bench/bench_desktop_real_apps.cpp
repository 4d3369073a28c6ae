// Trigger-to-written latency in applications of others: a plain snippet typed into a GTK 3 editor
// (mousepad), a GTK 4 editor (gnome-text-editor), and a web page's <textarea> in Firefox ESR and
// in Chromium, with the coordinator running in this process as the application composes it, while
// a second accessibility client (tools/field_reader, another process) reads the focused field every
// 20 ms. Per application: the time from the last keystroke (its release reaching the X
// server) to the field holding the snippet (median, 95th percentile, maximum), the misses (not
// written within 5 s) and the stalls (written, but after more than 1 s).
// PENNIAL_BENCH_TRIES sets the tries per application (100 unless set). Run inside
// scripts/desktop-session (scripts/bench does).

#include "app/app_coordinator.hpp"
#include "app/temp_folder.hpp"
#include "base/log.hpp"
#include "base/unicode.hpp"
#include "composition/linux_coordinator_dependencies.hpp"
#include "desktop_support/qt_session.hpp"
#include "desktop_support/test_editor.hpp"
#include "desktop_support/third_party_app.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/linux/storage/file_user_defaults.hpp"
#include "services/app_config.hpp"
#include "services/file_config_storage.hpp"
#include "support/app_fake_card_windows.hpp"
#include "support/app_fake_notch_passcode_panel.hpp"
#include "support/app_fake_onboarding_window.hpp"
#include "support/app_fake_spinner_overlay.hpp"
#include "support/app_fake_window_focus.hpp"
#include "text/text_processing.hpp"

#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <algorithm>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

// Last: it brings Xlib, whose macros clash with the headers above.
#include "bench_desktop_keys.hpp"

using namespace pennial;
using bench::Keyboard;
using desktop_support::ThirdPartyApp;
using desktop_support::waitUntil;
using Milliseconds = std::chrono::duration<double, std::milli>;
using namespace std::chrono_literals;

namespace {

constexpr const char* snippetName = "addr";
constexpr const char* snippet = "12 Garden Lane\nSpringfield";
constexpr const char* before = "first 😀 line é second 𝒳 line beta";
constexpr const char* after = "\nthird line";
constexpr auto missAfter = 5s;
constexpr auto stallOver = 1s;

int tries() {
    const char* set = std::getenv("PENNIAL_BENCH_TRIES");
    return set ? std::max(1, std::atoi(set)) : 100;
}

struct Outcome {
    std::vector<Milliseconds> latencies;
    int misses = 0;
    int stalls = 0;
};

std::shared_ptr<AppCoordinator> startCoordinator(QtExecutionContext& mainContext,
                                                 const pennial::testing::TempFolder& folder) {
    AppConfig config = AppConfig::defaults();
    config.commands.push_back(Command::make(snippetName, snippet, false));
    FileConfigStorage(folder / "config.json").saveNow(config);
    auto dependencies = linuxCoordinatorDependencies(mainContext);
    dependencies.userDefaults = std::make_shared<FileUserDefaults>(folder / "defaults.json");
    dependencies.configFile = folder / "config.json";
    dependencies.spinner = std::make_shared<pennial::testing::FakeSpinnerOverlay>();
    dependencies.notchPasscodePanel = std::make_shared<pennial::testing::FakeNotchPasscodePanel>();
    dependencies.onboardingWindow = std::make_shared<pennial::testing::FakeOnboardingWindow>();
    dependencies.cardWindows = std::make_shared<pennial::testing::FakeCardWindowFactory>();
    dependencies.windowFocus = std::make_shared<pennial::testing::FakeWindowFocus>();
    auto coordinator = AppCoordinator::create(std::move(dependencies));
    if (!waitUntil([&] { return !coordinator->isStarting(); }, 10s))
        throw std::runtime_error("the coordinator did not start");
    // A plain snippet needs no session: monitoring is started by hand.
    asio::co_spawn(mainContext.get_executor(), coordinator->startMonitoring(), asio::detached);
    if (!waitUntil([&] { return coordinator->isMonitoring(); }, 10s))
        throw std::runtime_error("monitoring did not start");
    return coordinator;
}

Outcome measure(ThirdPartyApp::Kind kind) {
    pennial::testing::TempFolder folder;
    QtExecutionContext mainContext;
    auto coordinator = startCoordinator(mainContext, folder);

    // The second client: the field reader, polling the focused field.
    QProcess reader;
    reader.start(QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2) +
                     "/../tools/field_reader/pennial_field_reader",
                 {"--poll-focused"});
    ThirdPartyApp app({kind, "textarea", before, after});
    Keyboard keyboard;
    const auto expected = TextProcessing::composeSnippetText(before, snippet, "") + after;
    Outcome outcome;
    for (int attempt = 0; attempt < tries(); ++attempt) {
        const auto lastKey = keyboard.type(std::string(" ;;") + snippetName);
        if (!waitUntil([&] { return app.text() == expected; }, missAfter)) {
            ++outcome.misses;
        } else {
            const Milliseconds latency = std::chrono::steady_clock::now() - lastKey;
            outcome.latencies.push_back(latency);
            outcome.stalls += latency > stallOver;
        }
        // Past the pause after a command (a keyboard paste's ends once the clipboard is back).
        desktop_support::pumpFor(app.isBrowser() ? 3200ms : 1600ms);
        app.reset();
    }
    reader.kill();
    reader.waitForFinished(2000);
    coordinator.reset();
    desktop_support::pumpFor(50ms);
    return outcome;
}

double percentile(std::vector<Milliseconds> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))]
        .count();
}

void snippetInApplication(benchmark::State& state) {
    const auto kind = static_cast<ThirdPartyApp::Kind>(state.range(0));
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs a desktop session (scripts/desktop-session)");
        return;
    }
    if (!ThirdPartyApp::installed(kind)) {
        state.SkipWithError("not installed (scripts/deps installs it)");
        return;
    }
    state.SetLabel(ThirdPartyApp::name(kind));
    for (auto _ : state) {
        const auto outcome = measure(kind);
        state.counters["tries"] = tries();
        state.counters["median_ms"] = percentile(outcome.latencies, 0.5);
        state.counters["p95_ms"] = percentile(outcome.latencies, 0.95);
        state.counters["max_ms"] = percentile(outcome.latencies, 1.0);
        state.counters["misses"] = outcome.misses;
        state.counters["stalls_over_1s"] = outcome.stalls;
    }
}

BENCHMARK(snippetInApplication)
    ->Arg(static_cast<int>(ThirdPartyApp::Kind::gtk3Editor))
    ->Arg(static_cast<int>(ThirdPartyApp::Kind::gtk4Editor))
    ->Arg(static_cast<int>(ThirdPartyApp::Kind::firefox))
    ->Arg(static_cast<int>(ThirdPartyApp::Kind::chromium))
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
