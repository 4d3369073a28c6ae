// The text monitor at rest on the real desktop, over AT-SPI and X11, the test editor's field
// focused with text the user is not changing: the cost of one poll (polls back to back, without
// the wait between them: median and 95th percentile of the wall time, CPU time per poll), and the
// CPU time the monitoring takes per second at its real 100 ms interval (budget: 3 ms, 0.3% of one
// core), with the editor's own and the thread switches per second alongside. Each with the field's
// focus reported to the monitor, and with focus given before monitoring began. And the time from
// a key press reaching this process to the start of the evaluation it brings on. Run inside
// scripts/desktop-session.

#include "base/resting_wait.hpp"
#include "bench_desktop_editor.hpp"
#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/linux_platform_factory.hpp"
#include "platform/linux/x11/xinput_key_event_source.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/text_monitor.hpp"

#include <algorithm>
#include <asio/co_spawn.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/use_future.hpp>
#include <atomic>
#include <benchmark/benchmark.h>
#include <mutex>
#include <thread>

using namespace pennial;
using namespace pennial::bench;

namespace {

constexpr const char* fieldText = "Dear Ann, thanks for the notes from Tuesday. ";

// A provider that never tells a field at rest: every tick then polls.
class RestlessProvider : public AXAccessibilityProvider {
public:
    using AXAccessibilityProvider::AXAccessibilityProvider;
    std::optional<AXRestMark> restMark() const override { return std::nullopt; }
    std::optional<std::uint64_t> restSerial() const override { return std::nullopt; }
};

// How the monitor goes from one poll to the next: back to back, each one a whole poll (what one
// poll costs), or as the application does (waiting, and passing over the ticks at rest).
enum class Pace { backToBack, asTheApplication };

// No wait, but a turn for the monitor's other operations (a poll answered from what the platform
// keeps completes without ever leaving the thread, and a stop would never get in).
Awaitable<SleepResult> noWait(TextMonitor::Duration) {
    co_await asio::post(co_await asio::this_coro::executor, asio::use_awaitable);
    co_return SleepResult::elapsed;
}

// The Linux facilities with their main executor on a thread of its own, and a monitor whose waits
// between polls are noted (when each poll ended, and when the next began).
class IdleMonitor {
public:
    explicit IdleMonitor(Pace pace) {
        auto main = io.get_executor();
        workspace = makeWorkspace(main);
        auto accessibility = makeAccessibility(workspace);
        const AXAccessibilityProvider::Facilities facilities{accessibility, workspace,
                                                             makeScreens(), main};
        auto router = std::make_shared<ContextStrategyRouter>(accessibility);
        const bool backToBack = pace == Pace::backToBack;
        std::shared_ptr<AXAccessibilityProvider> provider =
            backToBack ? std::make_shared<RestlessProvider>(router, facilities)
                       : std::make_shared<AXAccessibilityProvider>(router, facilities);
        TextMonitor::Sleep sleep = backToBack ? TextMonitor::Sleep(noWait) : sleepFor;
        TextMonitor::RestingWait restingWait;
        if (!backToBack)
            restingWait = waitWhileResting;
        auto noted = [this, sleep = std::move(sleep)](TextMonitor::Duration duration) {
            {
                std::lock_guard lock(mutex);
                pollEnds.push_back(std::chrono::steady_clock::now());
            }
            ++polls;
            return sleepNoted(sleep, duration, this);
        };
        monitor = TextMonitor::create(std::make_shared<AccessibilityMonitor>(provider), ";;",
                                      {workspace, makeKeyEventSource(main), main, noted,
                                       desktopActivity(), std::move(restingWait)},
                                      pollingPool().get_executor()); // as the application has it
        mainThread = std::thread([this] { io.run(); });
        onMain(monitor->updateValidCommandNames({"fix", "sig"}));
        onMain(monitor->startMonitoring());
    }
    ~IdleMonitor() {
        onMain(monitor->stopMonitoring());
        // A poll still in progress holds the monitor and may still need the main executor.
        while (monitor.use_count() > 1)
            std::this_thread::yield();
        monitor.reset();
        asio::post(io, [this] { workspace.reset(); }); // destroyed on main
        guard.reset();
        mainThread.join();
    }

    void onMain(Awaitable<void> operation) {
        asio::co_spawn(io, std::move(operation), asio::use_future).get();
    }

    // The time each poll took, from the end of the one before (the wait between them excluded).
    std::vector<Milliseconds> takePollDurations() {
        std::lock_guard lock(mutex);
        std::vector<Milliseconds> durations;
        for (std::size_t i = 1; i < pollEnds.size(); ++i)
            durations.push_back(pollEnds[i] - pollEnds[i - 1]);
        pollEnds.clear();
        return durations;
    }

    // When each poll after a wait began (the wait ended, by its time or cut short).
    std::vector<std::chrono::steady_clock::time_point> takePollStarts() {
        std::lock_guard lock(mutex);
        return std::exchange(pollStarts, {});
    }

    std::atomic<long> polls{0};

private:
    static Awaitable<SleepResult> sleepNoted(TextMonitor::Sleep sleep,
                                             TextMonitor::Duration duration, IdleMonitor* idle) {
        auto result = co_await sleep(duration);
        std::lock_guard lock(idle->mutex);
        idle->pollStarts.push_back(std::chrono::steady_clock::now());
        co_return result;
    }

    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> guard{io.get_executor()};
    std::shared_ptr<X11Workspace> workspace;
    std::shared_ptr<TextMonitor> monitor;
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> pollEnds;
    std::vector<std::chrono::steady_clock::time_point> pollStarts;
    std::thread mainThread;
};

// Whether the field took focus once monitoring was on (reported to the monitor, and typed into)
// or before (found by searching the window, and its text never reported as changed since).
enum class Focus { reportedWhileMonitoring, givenBeforeMonitoring };

// The editor's field focused and holding text, with the monitor on; skipped without a desktop.
class Scene {
public:
    Scene(benchmark::State& state, Focus focus, Pace pace) {
        if (!hasDisplay()) {
            state.SkipWithError("needs a desktop session (scripts/desktop-session)");
            return;
        }
        if (focus == Focus::givenBeforeMonitoring)
            startEditor();
        idle = std::make_unique<IdleMonitor>(pace);
        if (focus == Focus::reportedWhileMonitoring)
            startEditor();
        std::this_thread::sleep_for(500ms); // past the first polls' element change
        idle->takePollDurations();
    }
    explicit operator bool() const { return idle != nullptr; }

    std::unique_ptr<TestEditor> editor;
    std::unique_ptr<IdleMonitor> idle;

private:
    void startEditor() {
        editor = std::make_unique<TestEditor>();
        typeOnKeyboard(fieldText, 1);
    }
};

void idlePoll(benchmark::State& state, Focus focus) {
    Scene scene(state, focus, Pace::backToBack);
    if (!scene)
        return;
    auto& idle = *scene.idle;
    for (auto _ : state) {
        const auto polls = idle.polls.load();
        const auto cpu = ownCpuTime();
        std::this_thread::sleep_for(3s);
        state.counters["cpu_ms_per_poll"] =
            (ownCpuTime() - cpu).count() / static_cast<double>(idle.polls.load() - polls);
    }
    const auto durations = idle.takePollDurations();
    state.counters["median_ms"] = percentile(durations, 0.5);
    state.counters["p95_ms"] = percentile(durations, 0.95);
}

void idleCpuPerSecond(benchmark::State& state, Focus focus) {
    Scene scene(state, focus, Pace::asTheApplication);
    if (!scene)
        return;
    constexpr auto measured = 5s;
    for (auto _ : state) {
        const auto cpu = ownCpuTime();
        const auto editorCpu = cpuTimeOf(scene.editor->pid());
        const auto switches = contextSwitches();
        std::this_thread::sleep_for(measured);
        const double seconds = std::chrono::duration<double>(measured).count();
        state.counters["cpu_ms_per_s"] = (ownCpuTime() - cpu).count() / seconds;
        state.counters["editor_cpu_ms_per_s"] =
            (cpuTimeOf(scene.editor->pid()) - editorCpu).count() / seconds;
        state.counters["switches_per_s"] =
            static_cast<double>(contextSwitches() - switches) / seconds;
    }
}

// Keys typed a while apart into the focused field: for each key press as this process hears of
// it, the time until the next poll began.
void keyToEvaluation(benchmark::State& state) {
    Scene scene(state, Focus::reportedWhileMonitoring, Pace::asTheApplication);
    if (!scene)
        return;
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> keys;
    auto& activity = DesktopActivity::instance();
    auto counted = activity.keyPresses();
    // The field's own reports come through here too: only a new key press counts.
    auto heard = activity.observe([&] {
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard lock(mutex);
        if (activity.keyPresses() != counted) {
            counted = activity.keyPresses();
            keys.push_back(now);
        }
    });
    for (auto _ : state) {
        scene.idle->takePollStarts();
        typeOnKeyboard("abcdefghijklmnopqrst", 150);
        std::this_thread::sleep_for(300ms);
    }
    heard.reset();
    const auto starts = scene.idle->takePollStarts();
    std::vector<Milliseconds> delays;
    std::lock_guard lock(mutex);
    for (const auto& key : keys) {
        auto next = std::lower_bound(starts.begin(), starts.end(), key);
        if (next != starts.end())
            delays.push_back(*next - key);
    }
    state.counters["keys"] = static_cast<double>(delays.size());
    state.counters["median_us"] = percentile(delays, 0.5) * 1000;
    state.counters["p95_us"] = percentile(delays, 0.95) * 1000;
    state.counters["max_us"] = percentile(delays, 1.0) * 1000;
}

BENCHMARK(keyToEvaluation)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(idlePoll, focus_reported, Focus::reportedWhileMonitoring)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(idlePoll, focus_found, Focus::givenBeforeMonitoring)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(idleCpuPerSecond, focus_reported, Focus::reportedWhileMonitoring)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(idleCpuPerSecond, focus_found, Focus::givenBeforeMonitoring)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
