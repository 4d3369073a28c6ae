// The whole program at rest, as a user runs it: `pennial` started signed in (a local backend
// stands in for the product's), monitoring, with mousepad focused on a few lines the user is not
// changing. Over the measured time (60 s; PENNIAL_IDLE_SECONDS changes it) it reports the CPU
// share of one core and the context switches per second summed over all its threads (budget:
// 0.1 % and 20/s), its resident memory (budget: 64 MiB), and the same per thread, so that who
// wakes can be seen. The program measured is the one built beside this benchmark;
// PENNIAL_IDLE_PROGRAM names another (a debug build, say). Run inside scripts/desktop-session.

#include "app/temp_folder.hpp"
#include "bench_child_process.hpp"
#include "bench_desktop_editor.hpp"
#include "platform/linux/storage/libsecret_store.hpp"
#include "services/auth_session.hpp"
#include "services/keychain_store.hpp"
#include "support/fake_backend.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <map>
#include <sys/prctl.h>

using namespace pennial;
using namespace pennial::bench;

using pennial::bench::startChild;

namespace {

constexpr const char* sessionService = "com.pennial.Pennial.auth";
constexpr const char* sessionKey = "session";
constexpr const char* monitoringStarted = "✅ [Pennial] Monitoring started successfully";
// After the editor took the focus: the first polls' element change and the start-up's own work
// (remote pull, update check) are over.
constexpr auto settle = 5s;

std::string programPath() {
    if (const char* path = std::getenv("PENNIAL_IDLE_PROGRAM"))
        return path;
    // build/<preset>/bench/<this program> -> build/<preset>/src/pennial
    char self[4096] = {};
    const auto length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    return folder.substr(0, folder.rfind('/')) + "/../src/pennial";
}

std::chrono::seconds measuredTime() {
    const char* seconds = std::getenv("PENNIAL_IDLE_SECONDS");
    return std::chrono::seconds(seconds ? std::max(1, std::atoi(seconds)) : 60);
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
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

// A program started for the benchmark, its output into a file; stopped when this goes.
class Child {
public:
    Child(std::vector<std::string> arguments, std::vector<std::string> environment,
          const std::filesystem::path& output) {
        pid_ = startChild(std::move(arguments), std::move(environment), output.c_str(), false);
    }
    ~Child() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// A returning user: onboarding done, a session in the keyring that the local backend knows.
void signIn(testing::FakeBackend& backend, const std::filesystem::path& home) {
    const auto settings = home / ".config" / "pennial";
    std::filesystem::create_directories(settings);
    std::ofstream(settings / "defaults.json")
        << R"({"hasCompletedPlaygroundOnboarding": true, "hasCompletedProfileOnboarding": true,
"hasSeenVideoIntro": true, "hasSeenWelcomeOnboarding": true})";
    auto issued = backend.issueSession("ada@example.test");
    AuthSession session{issued.userId, issued.accessToken, issued.refreshToken,
                        std::chrono::system_clock::now() + std::chrono::hours(2), issued.email};
    KeychainStore(std::make_shared<LibsecretStore>(), sessionService)
        .save(sessionKey, session.toJson());
}

void programIdle(benchmark::State& state) {
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
    const auto home = folder.path() / "home", runtime = folder.path() / "runtime";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    testing::FakeBackend backend;
    signIn(backend, home);

    const auto log = folder.path() / "pennial.log";
    Child pennial({program},
                  {"HOME=" + home.string(), "XDG_RUNTIME_DIR=" + runtime.string(),
                   "XDG_CONFIG_HOME=" + (home / ".config").string(),
                   "XDG_STATE_HOME=" + (home / ".local/state").string(),
                   "PENNIAL_QUIET_LOG=", "PENNIAL_API_BASE_URL=" + backend.baseURL(),
                   "PENNIAL_SUPABASE_URL=" + backend.baseURL(),
                   "PENNIAL_SUPABASE_PUBLISHABLE_KEY=local-key"},
                  log);
    if (!waitFor([&] { return fileText(log).find(monitoringStarted) != std::string::npos; }, 30s)) {
        state.SkipWithError("the program did not start monitoring (see its log)");
        std::fputs(fileText(log).c_str(), stderr);
        return;
    }
    const auto notes = folder.path() / "notes.txt";
    std::ofstream(notes) << "Dear Ann,\nthanks for the notes from Tuesday.\n";
    Child editor({"mousepad", "--disable-server", notes.string()}, {}, folder.path() / "mp.log");
    run({"xdotool", "search", "--sync", "--onlyvisible", "--class", "mousepad", "windowactivate",
         "--sync"});
    run({"xdotool", "key", "ctrl+End"});
    std::this_thread::sleep_for(settle);

    const double tick = 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    for (auto _ : state) {
        const auto measured = measuredTime();
        const auto before = threadCounters(pennial.pid());
        const auto started = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(measured);
        const auto after = threadCounters(pennial.pid());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

        struct Figures {
            long tid;
            std::string name;
            double cpuMsPerSecond;
            double switchesPerSecond;
        };
        std::vector<Figures> threads;
        double ticked = 0, cpu = 0, switches = 0;
        for (const auto& [tid, now] : after) {
            const ThreadCounters none;
            auto was = before.find(tid);
            const auto& then = was == before.end() ? none : was->second;
            ticked += static_cast<double>(now.ticks - then.ticks) * tick / seconds;
            threads.push_back(
                {tid, now.name,
                 static_cast<double>(now.nanoseconds - then.nanoseconds) / 1e6 / seconds,
                 static_cast<double>(now.switches - then.switches) / seconds});
            cpu += threads.back().cpuMsPerSecond;
            switches += threads.back().switchesPerSecond;
        }
        std::sort(threads.begin(), threads.end(), [](const Figures& a, const Figures& b) {
            return a.switchesPerSecond > b.switchesPerSecond;
        });
        std::size_t ended = 0;
        for (const auto& [tid, counters] : before)
            ended += after.count(tid) == 0 ? 1 : 0;
        std::printf("%s: %zu threads (%zu ended while measured) over %.0f s\n", program.c_str(),
                    after.size(), ended, seconds);
        std::printf("  %8s %-16s %12s %12s\n", "tid", "thread", "cpu_ms/s", "switches/s");
        for (const auto& thread : threads)
            std::printf("  %8ld %-16s %12.3f %12.2f\n", thread.tid, thread.name.c_str(),
                        thread.cpuMsPerSecond, thread.switchesPerSecond);
        // ms per second -> % of one core
        state.counters["cpu_percent"] = ticked / 10.0;
        state.counters["cpu_percent_scheduler"] = cpu / 10.0;
        state.counters["switches_per_s"] = switches;
        state.counters["rss_mib"] = statusKilobytes(pennial.pid(), "VmRSS") / 1024.0;
        state.counters["rss_peak_mib"] = statusKilobytes(pennial.pid(), "VmHWM") / 1024.0;
        state.counters["threads"] = static_cast<double>(after.size());
    }
    KeychainStore(std::make_shared<LibsecretStore>(), sessionService).remove(sessionKey);
}

BENCHMARK(programIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
