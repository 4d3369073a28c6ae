// A plain snippet typed at the end of a line in mousepad, ours and the peer text expander's
// (AutoKey, its phrase in keyboard mode, fired as its abbreviation is typed) in the same session,
// typed identically; ours is the program built beside this benchmark, started signed in against
// a local backend that holds the snippet among the user's commands, as a user runs it. Timed by
// an observer of our own in another process: the time from the last keystroke (its release reaching
// the X server) to the field holding the snippet, 30 tries each after warm-up. Reports both medians
// and 95th percentiles and their ratios (budget: our median <= the peer's, our p95 <= 1.5 x the
// peer's). PENNIAL_BENCH_LOAD=N keeps N busy processes running throughout, for both (a loaded
// machine). scripts/bench installs the peer. Run inside scripts/desktop-session.

#include "app/app_coordinator.hpp"
#include "app/temp_folder.hpp"
#include "base/log.hpp"
#include "bench_child_process.hpp"
#include "bench_desktop_editor.hpp"
#include "bench_peer_phrase.hpp"
#include "bench_program.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/linux_platform_factory.hpp"
#include "services/app_config.hpp"
#include "services/file_config_storage.hpp"
#include "text/command.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <atspi/atspi.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/prctl.h>
#include <thread>

// Last: it brings Xlib, whose macros clash with the headers above.
#include "bench_desktop_coordinator.hpp"

using namespace pennial;
using namespace pennial::bench;

using pennial::bench::startChild;

namespace {

constexpr const char* snippetName = "sig";
constexpr const char* snippet = "Best regards, Ann";
constexpr int warmUp = 3;
constexpr int tries = 30;

// An application started for the benchmark with environment of its own, its output to log when
// given; stopped when it goes (by stopSignal; killed should it still run 2 s later).
class Process {
public:
    Process(std::vector<std::string> arguments, std::vector<std::string> environment = {},
            const char* log = nullptr, int stopSignal = SIGTERM)
        : stopSignal_(stopSignal) {
        pid_ = startChild(std::move(arguments), std::move(environment), log);
    }
    ~Process() {
        ::kill(pid_, stopSignal_);
        for (int look = 0; look < 200; ++look) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_)
                return;
            std::this_thread::sleep_for(10ms);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int stopSignal_;
};

// mousepad on a new file of its own, its window active. Started once the
// program measured listens, as a user's editor is focused while it runs. Killed at the end: asked
// to quit, it would ask whether to save the file, and its window would stay.
class Mousepad {
public:
    explicit Mousepad(const std::filesystem::path& file)
        : process_(arguments(file), {}, nullptr, SIGKILL) {
        run({"xdotool", "search", "--sync", "--onlyvisible", "--pid",
             std::to_string(process_.pid()), "--class", "mousepad", "windowactivate", "--sync"});
    }

private:
    static std::vector<std::string> arguments(const std::filesystem::path& file) {
        // Empty: the caret is then at its end however the window comes up (a ctrl+End sent as
        // it does can be lost).
        std::ofstream{file};
        return {"mousepad", "--disable-server", file.string()};
    }

    Process process_;
};

// Tells when a field first held the snippet (and no trigger): the same observer for both
// programs, in a process of its own, so that it shares no accessibility connection (nor a cache)
// with either. It reads a field when an insertion into it ends as the snippet ends, and notes the
// time the application reported that insertion.
class FieldObserver {
public:
    FieldObserver() {
        int toObserver[2], fromObserver[2];
        if (::pipe(toObserver) != 0 || ::pipe(fromObserver) != 0)
            throw std::runtime_error("no pipe for the observer");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(toObserver[0], STDIN_FILENO);
            ::dup2(fromObserver[1], STDOUT_FILENO);
            for (int descriptor : {toObserver[0], toObserver[1], fromObserver[0], fromObserver[1]})
                ::close(descriptor);
            ::execl("/proc/self/exe", "bench_desktop_peer", observeArgument,
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(toObserver[0]);
        ::close(fromObserver[1]);
        commands_ = toObserver[1];
        answers_ = fromObserver[0];
        if (!runUntil([&] { return readLine() == "ready"; }, 10s))
            throw std::runtime_error("the observer did not start");
        ::fcntl(answers_, F_SETFL, ::fcntl(answers_, F_GETFL) | O_NONBLOCK);
    }
    ~FieldObserver() {
        ::close(commands_);
        ::close(answers_);
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    FieldObserver(const FieldObserver&) = delete;
    FieldObserver& operator=(const FieldObserver&) = delete;

    void arm() {
        arrival_.reset();
        if (::write(commands_, "arm\n", 4) != 4)
            throw std::runtime_error("the observer is gone");
    }
    // When the field first held the snippet since arm(); none so far.
    std::optional<std::chrono::steady_clock::time_point> arrival() {
        if (!arrival_)
            if (auto line = readLine(); line.starts_with("arrived "))
                arrival_ = std::chrono::steady_clock::time_point(
                    std::chrono::nanoseconds(std::stoll(line.substr(8))));
        return arrival_;
    }

    static constexpr const char* observeArgument = "--observe-field";

    // The observer's own process: reports "arrived <steady-clock nanoseconds>" once per "arm".
    static int run() {
        atspi_init();
        auto* listener = atspi_event_listener_new(&onInsertion, nullptr, nullptr);
        atspi_event_listener_register(listener, "object:text-changed:insert", nullptr);
        auto* input = g_io_channel_unix_new(STDIN_FILENO);
        g_io_add_watch(input, GIOCondition(G_IO_IN | G_IO_HUP), &onCommand, nullptr);
        std::puts("ready");
        std::fflush(stdout);
        atspi_event_main();
        return 0;
    }

private:
    static inline bool armed = false;

    static void onInsertion(AtspiEvent* event, void*) {
        const auto now = std::chrono::steady_clock::now();
        // The event is ours to free.
        std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> owned(
            event, [](AtspiEvent* done) { g_boxed_free(ATSPI_TYPE_EVENT, done); });
        const char* inserted = event->any_data.g_type == G_TYPE_STRING
                                   ? g_value_get_string(&event->any_data)
                                   : nullptr;
        const std::string_view wanted = snippet;
        if (std::getenv("PENNIAL_BENCH_DEBUG"))
            std::fprintf(stderr, "observer: insertion of %zu bytes\n",
                         inserted ? std::strlen(inserted) : 0);
        if (!armed || !inserted || !std::string_view(inserted).ends_with(wanted.back()))
            return;
        AtspiText* text = atspi_accessible_get_text_iface(event->source);
        if (!text)
            return;
        const gint count = atspi_text_get_character_count(text, nullptr);
        gchar* content = atspi_text_get_text(text, 0, count, nullptr);
        const std::string_view held = content ? content : "";
        if (held.ends_with(wanted) && held.find(";;") == std::string_view::npos) {
            armed = false;
            std::printf("arrived %lld\n",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                   now.time_since_epoch())
                                                   .count()));
            std::fflush(stdout);
        }
        g_free(content);
        g_object_unref(text);
    }

    static gboolean onCommand(GIOChannel* channel, GIOCondition condition, gpointer) {
        gchar* line = nullptr;
        if ((condition & G_IO_HUP) || g_io_channel_read_line(channel, &line, nullptr, nullptr,
                                                             nullptr) != G_IO_STATUS_NORMAL) {
            atspi_event_quit();
            return FALSE;
        }
        armed = std::string_view(line).starts_with("arm");
        g_free(line);
        return TRUE;
    }

    std::string readLine() {
        char c = 0;
        while (::read(answers_, &c, 1) == 1) {
            if (c == '\n')
                return std::exchange(partial_, {});
            partial_.push_back(c);
        }
        return {};
    }

    pid_t pid_ = -1;
    int commands_ = -1;
    int answers_ = -1;
    std::string partial_;
    std::optional<std::chrono::steady_clock::time_point> arrival_;
};

// PENNIAL_BENCH_LOAD busy processes, from construction to destruction.
class BusyLoad {
public:
    BusyLoad() {
        const char* count = std::getenv("PENNIAL_BENCH_LOAD");
        for (int i = 0; count && i < std::atoi(count); ++i)
            busy_.push_back(startChild({"sh", "-c", "while :; do :; done"}));
    }
    ~BusyLoad() {
        for (const pid_t pid : busy_)
            ::kill(pid, SIGKILL);
        for (const pid_t pid : busy_)
            ::waitpid(pid, nullptr, 0);
    }
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

private:
    std::vector<pid_t> busy_;
};

struct Outcome {
    std::vector<Milliseconds> latencies;
    int missed = 0; // tries whose snippet never arrived
};

// Types the trigger at the end of a new line until tries have arrived after the warm-up.
Outcome typeTriggers(Keyboard& keyboard, FieldObserver& watch) {
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

Outcome peerLatencies(const std::filesystem::path& folder, Keyboard& keyboard,
                      FieldObserver& observer) {
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
    writePeerPhrase(config, snippetName, snippet);
    // PENNIAL_BENCH_PEER_LOG: the peer's verbose log goes to that file.
    const char* log = std::getenv("PENNIAL_BENCH_PEER_LOG");
    Process peer(log ? std::vector<std::string>{"autokey-gtk", "--verbose"}
                     : std::vector<std::string>{"autokey-gtk"},
                 {home}, log);
    runFor(4s); // loaded and listening
    Mousepad editor(folder / "peer.txt");
    return typeTriggers(keyboard, observer);
}

Outcome ourLatencies(const std::filesystem::path& folder, Keyboard& keyboard,
                     FieldObserver& observer) {
    const auto program = programPath();
    if (!std::filesystem::exists(program))
        throw std::runtime_error("no program at " + program);
    auto commands = AppConfig::defaults().commands;
    // The defaults hold an AI command of the same name: the snippet takes its place.
    std::erase_if(commands, [](const Command& command) { return command.name == snippetName; });
    commands.push_back(Command::make(snippetName, snippet, false));
    testing::FakeBackend backend;
    const auto home = folder / "home";
    backend.setCommandRows(signIn(backend, home), testing::commandRowsOf(commands));
    const auto ours = folder / "ours";
    std::filesystem::create_directories(ours);
    Outcome outcome;
    {
        auto running = startProgram(program, backend, home, ours);
        if (!runUntil(
                [&] {
                    return fileText(ours / "pennial.log")
                               .find("Local config updated from remote") != std::string::npos;
                },
                10s))
            throw std::runtime_error("the program did not take the user's commands");
        Mousepad editor(folder / "ours.txt");
        outcome = typeTriggers(keyboard, observer);
        // PENNIAL_BENCH_OURS_LOG: the program's log is printed after its tries.
        if (std::getenv("PENNIAL_BENCH_OURS_LOG"))
            std::fputs(fileText(ours / "pennial.log").c_str(), stderr);
    }
    signOut();
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
        FieldObserver observer;
        const BusyLoad load;
        // PENNIAL_BENCH_OURS_ONLY or _PEER_ONLY: the other is left out (a quicker look at one).
        const auto ours = std::getenv("PENNIAL_BENCH_PEER_ONLY")
                              ? Outcome{}
                              : ourLatencies(folder.path(), keyboard, observer);
        const auto peer = std::getenv("PENNIAL_BENCH_OURS_ONLY")
                              ? Outcome{}
                              : peerLatencies(folder.path(), keyboard, observer);
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

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == FieldObserver::observeArgument)
        return FieldObserver::run();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
