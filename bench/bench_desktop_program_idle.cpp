// The whole program at rest, as a user runs it: `pennial` started signed in (a local backend
// stands in for the product's), monitoring, in each of the states a user's machine rests in: an
// editor (mousepad) focused after the program started or before it, a window with no text (no
// field focused), a Firefox textarea, and a switch between two editor windows with nothing typed.
// Over the measured time (60 s; PENNIAL_IDLE_SECONDS changes it) it reports the CPU share of one
// core and the context switches per second summed over all the program's threads (budget: 0.1 %
// and 20/s), and the same for the focused application with its child processes, also measured
// alone (no program beside it) so that what the program induces is their difference (budget:
// 0.05 %), per thread, so that who wakes can be seen. Where the peer text expander is installed,
// the same state is measured with it in our place in the same run. The program measured is the
// one built beside this benchmark; PENNIAL_BENCH_PROGRAM names another (a debug build, say). Run
// inside scripts/desktop-session; --benchmark_filter picks states.

#include "app/temp_folder.hpp"
#include "bench_child_process.hpp"
#include "bench_desktop_editor.hpp"
#include "bench_peer_phrase.hpp"
#include "bench_program.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <map>
#include <sys/prctl.h>

using namespace pennial;
using namespace pennial::bench;

using pennial::bench::startChild;

namespace {

// After the editor took the focus: the first polls' element change and the start-up's own work
// (remote pull, update check) are over, and so is the editor's caret blinking (10 s in GTK).
constexpr auto settle = 12s;

std::chrono::seconds measuredTime() {
    const char* seconds = std::getenv("PENNIAL_IDLE_SECONDS");
    return std::chrono::seconds(seconds ? std::max(1, std::atoi(seconds)) : 60);
}

// One thread's counters so far: CPU time in clock ticks (user and system, as /proc/PID/stat
// counts it) and in nanoseconds (the scheduler's own count, finer than a 10 ms tick), and
// switches, voluntary or not.
struct ThreadCounters {
    std::string name;
    unsigned long long ticks = 0;
    unsigned long long nanoseconds = 0;
    long long switches = 0;
};

std::map<long, ThreadCounters> threadCounters(pid_t pid) {
    std::map<long, ThreadCounters> threads;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        ThreadCounters counters;
        const std::string stat = fileText(task.path() / "stat");
        const auto open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        counters.name = stat.substr(open + 1, close - open - 1);
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        for (int index = 3; fields >> field && index <= 15; ++index)
            if (index == 14 || index == 15)
                counters.ticks += std::stoull(field);
        std::istringstream(fileText(task.path() / "schedstat")) >> counters.nanoseconds;
        std::istringstream status(fileText(task.path() / "status"));
        for (std::string line; std::getline(status, line);)
            if (line.find("ctxt_switches:") != std::string::npos)
                counters.switches += std::stoll(line.substr(line.find(':') + 1));
        threads[std::stol(task.path().filename().string())] = std::move(counters);
    }
    return threads;
}

// A field of /proc/PID/status in kB.
double statusKilobytes(pid_t pid, const std::string& key) {
    std::istringstream status(fileText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0)
            return std::stod(line.substr(key.size() + 1));
    return 0;
}

// The states a user's machine rests in, each set up before the measured time begins.
enum class Rest {
    editorAfter,  // the program started first, then mousepad opened and focused
    editorFirst,  // mousepad focused before the program started
    noField,      // a window with no accessible text (xmessage) active
    browser,      // a Firefox textarea focused
    windowSwitch, // one mousepad window, then another activated, nothing typed
};

// A program's counters over the measured time, summed over its threads.
struct Usage {
    double cpuPercent = 0;          // from clock ticks
    double cpuPercentScheduler = 0; // from the scheduler's nanoseconds
    double switchesPerSecond = 0;
    std::vector<std::pair<std::string, std::pair<double, double>>> threads; // name: ms/s, sw/s
};

// The process and all its descendants (a browser's content processes).
std::vector<pid_t> processTree(pid_t root) {
    std::map<pid_t, std::vector<pid_t>> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const auto name = entry.path().filename().string();
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0])))
            continue;
        const auto stat = fileText(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string state;
        pid_t parent = 0;
        fields >> state >> parent;
        children[parent].push_back(static_cast<pid_t>(std::stol(name)));
    }
    std::vector<pid_t> tree{root};
    for (std::size_t i = 0; i < tree.size(); ++i)
        for (pid_t child : children[tree[i]])
            tree.push_back(child);
    return tree;
}

std::map<long, ThreadCounters> treeCounters(const std::vector<pid_t>& pids) {
    std::map<long, ThreadCounters> all;
    for (pid_t pid : pids)
        all.merge(threadCounters(pid));
    return all;
}

Usage usageBetween(const std::map<long, ThreadCounters>& before,
                   const std::map<long, ThreadCounters>& after, double seconds) {
    const double tick = 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    Usage usage;
    for (const auto& [tid, now] : after) {
        const ThreadCounters none;
        auto was = before.find(tid);
        const auto& then = was == before.end() ? none : was->second;
        const double ms = static_cast<double>(now.nanoseconds - then.nanoseconds) / 1e6 / seconds;
        const double switches = static_cast<double>(now.switches - then.switches) / seconds;
        usage.cpuPercent += static_cast<double>(now.ticks - then.ticks) * tick / seconds / 10.0;
        usage.cpuPercentScheduler += ms / 10.0;
        usage.switchesPerSecond += switches;
        usage.threads.push_back({now.name + " " + std::to_string(tid), {ms, switches}});
    }
    std::sort(usage.threads.begin(), usage.threads.end(),
              [](auto& a, auto& b) { return a.second.second > b.second.second; });
    return usage;
}

// Opens the state's applications; the last one opened holds the focus. Returns the focused
// application's process (none where nothing of ours is focused).
struct Scene {
    std::vector<std::unique_ptr<Child>> apps;
    pid_t focused = -1;
};

// Activates the window whose class instance or title is given, once it is shown.
void activate(const std::string& how, const std::string& what) {
    for (int attempt = 0; attempt < 60; ++attempt) {
        try {
            run({"xdotool", "search", "--onlyvisible", how, what, "windowactivate", "--sync"});
            return;
        } catch (const std::exception&) {
            std::this_thread::sleep_for(500ms);
        }
    }
    throw std::runtime_error("no window to activate for " + what);
}

void openMousepad(Scene& scene, const std::filesystem::path& folder, const std::string& name) {
    const auto notes = folder / (name + ".txt");
    std::ofstream(notes) << "Dear Ann,\nthanks for the notes from Tuesday.\n";
    scene.apps.push_back(std::make_unique<Child>(
        std::vector<std::string>{"mousepad", "--disable-server", notes.string()},
        std::vector<std::string>{}, folder / (name + ".log")));
    scene.focused = scene.apps.back()->pid();
    activate("--name", name + ".txt");
    run({"xdotool", "key", "ctrl+End"});
}

void openScene(Scene& scene, Rest rest, const std::filesystem::path& folder) {
    switch (rest) {
    case Rest::editorAfter:
    case Rest::editorFirst:
        openMousepad(scene, folder, "notes");
        break;
    case Rest::windowSwitch:
        openMousepad(scene, folder, "first");
        openMousepad(scene, folder, "second");
        std::this_thread::sleep_for(2s);
        activate("--name", "first.txt"); // back to the first, nothing typed
        scene.focused = scene.apps.front()->pid();
        break;
    case Rest::noField:
        scene.apps.push_back(std::make_unique<Child>(
            std::vector<std::string>{"xmessage", "-name", "resting", "Nothing to type in here"},
            std::vector<std::string>{}, folder / "xmessage.log"));
        scene.focused = scene.apps.back()->pid();
        activate("--classname", "resting");
        break;
    case Rest::browser: {
        const auto profile = folder / "profile";
        std::filesystem::create_directories(profile);
        std::ofstream(profile / "user.js")
            << "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
               "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
               "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
               "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
               "user_pref(\"app.update.enabled\", false);\n";
        scene.apps.push_back(std::make_unique<Child>(
            std::vector<std::string>{"firefox-esr", "--no-remote", "--new-instance", "--profile",
                                     profile.string(),
                                     "file://" PENNIAL_FIELDS_PAGE "#textarea:Dear%20Ann%2C:"},
            std::vector<std::string>{}, folder / "firefox.log"));
        scene.focused = scene.apps.back()->pid();
        activate("--name", "Pennial fields: textarea");
        break;
    }
    }
}

// The program measured (ours or the peer), started with what it needs; ready once it listens.
using StartProgram = std::function<std::unique_ptr<Child>(const std::filesystem::path& folder)>;

struct Measured {
    Usage program;
    Usage focusedApp;
    double rssMiB = 0;
};

std::optional<Measured> measureAtRest(Rest rest, const StartProgram& start,
                                      const std::filesystem::path& folder) {
    Scene scene;
    std::unique_ptr<Child> program;
    if (rest == Rest::editorFirst) {
        openScene(scene, rest, folder);
        std::this_thread::sleep_for(2s);
    }
    program = start(folder);
    if (!program)
        return std::nullopt;
    if (rest != Rest::editorFirst)
        openScene(scene, rest, folder);
    std::this_thread::sleep_for(rest == Rest::browser ? 3 * settle : settle);

    const auto measured = measuredTime();
    const auto appTree = scene.focused > 0 ? processTree(scene.focused) : std::vector<pid_t>{};
    const auto programBefore = threadCounters(program->pid());
    const auto appBefore = treeCounters(appTree);
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(measured);
    const auto programAfter = threadCounters(program->pid());
    const auto appAfter = treeCounters(appTree);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return Measured{usageBetween(programBefore, programAfter, seconds),
                    usageBetween(appBefore, appAfter, seconds),
                    statusKilobytes(program->pid(), "VmRSS") / 1024.0};
}

// The peer text expander with a phrase of its own, as the snippet benchmark runs it.
std::unique_ptr<Child> startPeer(const std::filesystem::path& folder) {
    if (std::system("command -v autokey-gtk >/dev/null") != 0)
        return nullptr;
    const auto config = folder / "autokey-config";
    const std::string home = "XDG_CONFIG_HOME=" + config.string();
    {
        Child first({"autokey-gtk"}, {home}, folder / "autokey-first.log");
        if (!waitFor([&] { return std::filesystem::exists(config / "autokey" / "autokey.json"); },
                     30s))
            throw std::runtime_error("AutoKey wrote no configuration");
        std::this_thread::sleep_for(1s);
    }
    writePeerPhrase(config, "sig", "Best regards, Ann");
    auto peer = std::make_unique<Child>(std::vector<std::string>{"autokey-gtk"},
                                        std::vector<std::string>{home}, folder / "autokey.log");
    std::this_thread::sleep_for(4s); // loaded and listening
    return peer;
}

void printThreads(const char* who, const Usage& usage) {
    std::printf("  %s: %.3f %% of a core, %.1f switches/s\n", who, usage.cpuPercentScheduler,
                usage.switchesPerSecond);
    for (std::size_t i = 0; i < std::min<std::size_t>(usage.threads.size(), 8); ++i)
        std::printf("    %-28s %10.3f ms/s %8.2f switches/s\n", usage.threads[i].first.c_str(),
                    usage.threads[i].second.first, usage.threads[i].second.second);
}

void programIdle(benchmark::State& state, Rest rest) {
    if (!hasDisplay()) {
        state.SkipWithError("needs a desktop session (scripts/desktop-session)");
        return;
    }
    const auto program = programPath();
    if (!std::filesystem::exists(program)) {
        state.SkipWithError(("no program at " + program).c_str());
        return;
    }
    testing::TempFolder folder;
    const auto home = folder.path() / "home";
    std::filesystem::create_directories(home);
    testing::FakeBackend backend;
    signIn(backend, home);

    for (auto _ : state) {
        const auto oursFolder = folder.path() / "ours", peerFolder = folder.path() / "peer";
        std::filesystem::create_directories(oursFolder);
        std::filesystem::create_directories(peerFolder);
        const auto ours = measureAtRest(
            rest, [&](auto& at) { return startProgram(program, backend, home, at); }, oursFolder);
        std::printf("%s, state %d\n", program.c_str(), static_cast<int>(rest));
        // PENNIAL_IDLE_LOG: the program's own log follows its figures.
        if (std::getenv("PENNIAL_IDLE_LOG"))
            std::fputs(fileText(oursFolder / "pennial.log").c_str(), stdout);
        printThreads("program", ours->program);
        printThreads("focused application", ours->focusedApp);
        state.counters["cpu_percent"] = ours->program.cpuPercent;
        state.counters["cpu_percent_scheduler"] = ours->program.cpuPercentScheduler;
        state.counters["switches_per_s"] = ours->program.switchesPerSecond;
        state.counters["rss_mib"] = ours->rssMiB;
        state.counters["app_cpu_percent"] = ours->focusedApp.cpuPercentScheduler;
        state.counters["app_switches_per_s"] = ours->focusedApp.switchesPerSecond;
        // The focused application with no program beside it: what it spends of its own, so that
        // what a program makes it spend is the difference.
        const auto baselineFolder = folder.path() / "baseline";
        std::filesystem::create_directories(baselineFolder);
        const auto alone = measureAtRest(
            rest,
            [](auto&) {
                return std::make_unique<Child>(std::vector<std::string>{"sleep", "3600"},
                                               std::vector<std::string>{}, "/dev/null");
            },
            baselineFolder);
        printThreads("focused application alone", alone->focusedApp);
        state.counters["app_alone_cpu_percent"] = alone->focusedApp.cpuPercentScheduler;
        state.counters["app_alone_switches_per_s"] = alone->focusedApp.switchesPerSecond;
        state.counters["app_induced_cpu_percent"] =
            ours->focusedApp.cpuPercentScheduler - alone->focusedApp.cpuPercentScheduler;
        // PENNIAL_BENCH_OURS_ONLY: the peer is left out.
        const auto peer = std::getenv("PENNIAL_BENCH_OURS_ONLY")
                              ? std::nullopt
                              : measureAtRest(rest, startPeer, peerFolder);
        if (!peer) {
            std::printf("  the peer is not installed (scripts/bench installs it) or left out\n");
            continue;
        }
        printThreads("peer", peer->program);
        printThreads("focused application (peer)", peer->focusedApp);
        state.counters["peer_cpu_percent_scheduler"] = peer->program.cpuPercentScheduler;
        state.counters["peer_switches_per_s"] = peer->program.switchesPerSecond;
        state.counters["peer_app_cpu_percent"] = peer->focusedApp.cpuPercentScheduler;
        state.counters["peer_app_switches_per_s"] = peer->focusedApp.switchesPerSecond;
        state.counters["peer_app_induced_cpu_percent"] =
            peer->focusedApp.cpuPercentScheduler - alone->focusedApp.cpuPercentScheduler;
    }
    signOut();
}

BENCHMARK_CAPTURE(programIdle, editor_after, Rest::editorAfter)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(programIdle, editor_first, Rest::editorFirst)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(programIdle, no_field, Rest::noField)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(programIdle, browser, Rest::browser)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(programIdle, window_switch, Rest::windowSwitch)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
