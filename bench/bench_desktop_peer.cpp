// A plain snippet typed at the end of a line in mousepad, ours and the peer text expander's
// (AutoKey, its phrase in keyboard mode, fired as its abbreviation is typed) in the same session,
// typed identically: the time from the last keystroke (its release reaching the X server) to the
// field holding the snippet, 30 tries each after warm-up. Reports both medians and 95th
// percentiles and their ratios (budget: our median <= the peer's, our p95 <= 1.5 x the peer's).
// scripts/bench installs the peer. Run inside scripts/desktop-session.

#include "app/app_coordinator.hpp"
#include "app/temp_folder.hpp"
#include "base/log.hpp"
#include "bench_desktop_editor.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/linux_platform_factory.hpp"
#include "services/app_config.hpp"
#include "services/file_config_storage.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <fstream>
#include <random>
#include <sys/prctl.h>
#include <thread>

// Last: it brings Xlib, whose macros clash with the headers above.
#include "bench_desktop_coordinator.hpp"

using namespace pennial;
using namespace pennial::bench;

namespace {

constexpr const char* snippetName = "sig";
constexpr const char* snippet = "Best regards, Ann";
constexpr int warmUp = 3;
constexpr int tries = 30;

// An application started for the benchmark with environment of its own; stopped when it goes.
class Process {
public:
    Process(std::vector<std::string> arguments, std::vector<std::string> environment = {}) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            for (auto& variable : environment)
                ::putenv(variable.data());
            std::vector<char*> argv;
            for (auto& argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Process() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

private:
    pid_t pid_ = -1;
};

// mousepad on a file of its own, its window active and the caret at the end. Started once the
// program measured listens, as a user's editor is focused while it runs.
class Mousepad {
public:
    explicit Mousepad(const std::filesystem::path& file) : process_(arguments(file)) {
        run({"xdotool", "search", "--sync", "--onlyvisible", "--class", "mousepad",
             "windowactivate", "--sync"});
        run({"xdotool", "key", "ctrl+End"});
    }

private:
    static std::vector<std::string> arguments(const std::filesystem::path& file) {
        std::ofstream(file) << "Notes\n";
        return {"mousepad", "--disable-server", file.string()};
    }

    Process process_;
};

// Watches the focused field's text from a thread of its own, and notes when it first ended with
// the snippet (and no trigger is left in it).
class ArrivalWatch {
public:
    explicit ArrivalWatch(std::shared_ptr<Accessibility> accessibility)
        : accessibility_(std::move(accessibility)), thread_([this] { run(); }) {}
    ~ArrivalWatch() {
        stop_ = true;
        thread_.join();
    }

    void arm() {
        arrivedAt_ = std::chrono::steady_clock::time_point{};
        armed_ = true;
    }
    std::optional<std::chrono::steady_clock::time_point> arrival() const {
        if (armed_)
            return std::nullopt;
        return arrivedAt_;
    }

private:
    void run() {
        AXElement field;
        while (!stop_) {
            std::this_thread::sleep_for(1ms);
            if (!armed_)
                continue;
            if (!field) {
                // The editor had the focus before we listened: found through its application.
                auto application = accessibility_->copyAttributeValue(
                    accessibility_->systemWideElement(), ax::attribute::focusedApplication);
                auto found = application.ok() ? application.value()->asElement() : std::nullopt;
                auto focused = found ? accessibility_->copyAttributeValue(
                                           *found, ax::attribute::focusedUIElement)
                                     : AXResult<AXValue>(AXError::noValue);
                if (focused.ok())
                    if (auto element = focused.value()->asElement())
                        field = *element;
                continue;
            }
            auto value = accessibility_->copyAttributeValue(field, ax::attribute::value);
            auto text = value.ok() ? value.value()->asString() : std::nullopt;
            if (std::getenv("PENNIAL_BENCH_DEBUG") && text)
                std::fprintf(stderr, "[%s]\n", text->c_str());
            if (text && text->ends_with(snippet) && text->find(";;") == std::string::npos) {
                arrivedAt_ = std::chrono::steady_clock::now();
                armed_ = false;
            }
        }
    }

    std::shared_ptr<Accessibility> accessibility_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> armed_{false};
    std::atomic<std::chrono::steady_clock::time_point> arrivedAt_{};
    std::thread thread_;
};

double percentile(std::vector<Milliseconds> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))]
        .count();
}

struct Outcome {
    std::vector<Milliseconds> latencies;
    int missed = 0; // tries whose snippet never arrived
};

// Types the trigger at the end of a new line until tries have arrived after the warm-up.
Outcome typeTriggers(Keyboard& keyboard, ArrivalWatch& watch) {
    Outcome outcome;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pause(0, 199);
    for (int line = 1; outcome.latencies.size() < static_cast<std::size_t>(tries); ++line) {
        if (outcome.missed >= 10)
            break; // reported as missed; the medians then need a look
        watch.arm();
        const auto lastKey =
            keyboard.type("line " + std::to_string(line) + " ;;" + std::string(snippetName));
        if (!runUntil([&] { return watch.arrival().has_value(); }, 3s))
            ++outcome.missed;
        else if (line > warmUp)
            outcome.latencies.push_back(*watch.arrival() - lastKey);
        runFor(1600ms + std::chrono::milliseconds(pause(random)));
        keyboard.type("\n");
    }
    return outcome;
}

Outcome peerLatencies(const std::filesystem::path& folder, Keyboard& keyboard) {
    const auto config = folder / "autokey-config";
    const std::string home = "XDG_CONFIG_HOME=" + config.string();
    {
        // The first start writes the configuration the phrase is then added to.
        Process first({"autokey-gtk"}, {home});
        if (!runUntil([&] { return std::filesystem::exists(config / "autokey" / "autokey.json"); },
                      30s))
            throw std::runtime_error("AutoKey wrote no configuration");
        runFor(1s);
    }
    const auto phrases = config / "autokey" / "data" / "Bench";
    std::filesystem::create_directories(phrases);
    std::ofstream(phrases / (std::string(snippetName) + ".txt")) << snippet;
    std::ofstream(phrases / ("." + std::string(snippetName) + ".json"))
        << R"({"type": "phrase", "description": "sig", "modes": [1], "usageCount": 0,
"prompt": false, "omitTrigger": false, "matchCase": false, "showInTrayMenu": false,
"abbreviation": {"abbreviations": [";;sig"], "backspace": true, "ignoreCase": false,
"immediate": true, "triggerInside": true, "wordChars": "[\\w]"},
"hotkey": {"modifiers": [], "hotKey": null}, "filter": {"regex": null, "isRecursive": false},
"sendMode": "kb"})";
    Process peer({"autokey-gtk"}, {home});
    runFor(4s); // loaded and listening
    Mousepad editor(folder / "peer.txt");

    QtExecutionContext mainContext;
    auto workspace = makeWorkspace(mainContext.get_executor());
    ArrivalWatch watch(makeAccessibility(workspace));
    return typeTriggers(keyboard, watch);
}

Outcome ourLatencies(const std::filesystem::path& folder, Keyboard& keyboard) {
    AppConfig config = AppConfig::defaults();
    // The defaults hold an AI command of the same name: the snippet takes its place.
    std::erase_if(config.commands,
                  [](const Command& command) { return command.name == snippetName; });
    config.commands.push_back(Command::make(snippetName, snippet, false));
    FileConfigStorage(folder / "config.json").saveNow(config);

    QtExecutionContext mainContext;
    std::shared_ptr<Accessibility> accessibility;
    auto coordinator = startMonitoringCoordinator(mainContext, folder, &accessibility);
    Outcome outcome;
    {
        Mousepad editor(folder / "ours.txt");
        ArrivalWatch watch(accessibility);
        outcome = typeTriggers(keyboard, watch);
    }
    coordinator.reset();
    runFor(50ms);
    return outcome;
}

void snippetAgainstPeer(benchmark::State& state) {
    if (!hasDisplay()) {
        state.SkipWithError("needs a desktop session (scripts/desktop-session)");
        return;
    }
    if (std::system("command -v autokey-gtk >/dev/null") != 0) {
        state.SkipWithError("the peer is not installed (scripts/bench installs it)");
        return;
    }
    int argc = 1;
    char name[] = "bench_desktop_peer";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    for (auto _ : state) {
        testing::TempFolder folder;
        Keyboard keyboard;
        // PENNIAL_BENCH_OURS_ONLY: the peer is left out (a quicker look at ours).
        const auto peer = std::getenv("PENNIAL_BENCH_OURS_ONLY")
                              ? Outcome{}
                              : peerLatencies(folder.path(), keyboard);
        const auto ours = ourLatencies(folder.path(), keyboard);
        const double peerMedian = percentile(peer.latencies, 0.5);
        const double peerP95 = percentile(peer.latencies, 0.95);
        const double ourMedian = percentile(ours.latencies, 0.5);
        const double ourP95 = percentile(ours.latencies, 0.95);
        state.counters["peer_missed"] = peer.missed;
        state.counters["our_missed"] = ours.missed;
        state.counters["peer_median_ms"] = peerMedian;
        state.counters["peer_p95_ms"] = peerP95;
        state.counters["our_median_ms"] = ourMedian;
        state.counters["our_p95_ms"] = ourP95;
        state.counters["median_ratio"] = ourMedian / peerMedian;
        state.counters["p95_ratio"] = ourP95 / peerP95;
    }
}

BENCHMARK(snippetAgainstPeer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
