// The text monitor at rest on the simulated desktop, a field with unchanged text focused: the cost
// of one poll (back to back, without the wait between polls), with calls that cost nothing and
// with a realistic per-call latency; and the CPU time the loop takes per second of real idle
// polling at its 100 ms interval.

#include "platform/sim/sim_desktop.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/text_monitor.hpp"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/use_future.hpp>
#include <atomic>
#include <benchmark/benchmark.h>
#include <ctime>
#include <thread>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

// A warm call to a Qt or GTK 4 application over the accessibility bus costs 0.2-0.3 ms.
constexpr auto realisticLatency = 250us;

std::chrono::duration<double, std::milli> processCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// A desktop with one focused field, its main executor on a thread of its own, and a monitor whose
// waits between polls go through `sleep`, which also counts the polls.
class IdleMonitor {
public:
    IdleMonitor(SimTime time, SimClock::Clock::duration latency, TextMonitor::Sleep sleep)
        : desktop(time) {
        auto app = desktop.addApplication({501, "org.example.notes", "Notes"});
        desktop.focus(app->addWindow("Notes")->add(SimElement::textArea("Dear Ann, thanks ;;")));
        desktop.setCallLatency(latency);
        auto main = io.get_executor();
        auto provider = std::make_shared<AXAccessibilityProvider>(
            std::make_shared<ContextStrategyRouter>(desktop.accessibility()),
            AXAccessibilityProvider::Facilities{desktop.accessibility(), desktop.workspace(),
                                                desktop.screens(), main});
        auto counted = [this, sleep = std::move(sleep)](TextMonitor::Duration duration) {
            // The call log would otherwise grow with every poll.
            if (++polls % 4096 == 0)
                desktop.callLog().clear();
            return sleep(duration);
        };
        monitor = TextMonitor::create(std::make_shared<AccessibilityMonitor>(provider), ";;",
                                      {desktop.workspace(),
                                       desktop.keyboard().eventSource(main),
                                       main,
                                       std::move(counted),
                                       {},
                                       {}});
        mainThread = std::thread([this] { io.run(); });
        onMain(monitor->updateValidCommandNames({"fix", "sig"}));
        onMain(monitor->startMonitoring());
    }
    ~IdleMonitor() {
        onMain(monitor->stopMonitoring());
        // A poll still in progress holds the monitor and may still need the main executor.
        while (monitor.use_count() > 1)
            std::this_thread::yield();
        guard.reset();
        mainThread.join();
    }

    void onMain(Awaitable<void> operation) {
        asio::co_spawn(io, std::move(operation), asio::use_future).get();
    }

    std::atomic<long> polls{0};

private:
    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> guard{io.get_executor()};
    SimDesktop desktop;
    std::shared_ptr<TextMonitor> monitor;
    std::thread mainThread;
};

Awaitable<SleepResult> noWait(TextMonitor::Duration) {
    co_return SleepResult::elapsed;
}

void idlePoll(benchmark::State& state, SimTime time, SimClock::Clock::duration latency) {
    IdleMonitor idle(time, latency, noWait);
    auto seen = idle.polls.load();
    for (auto _ : state) {
        while (idle.polls.load() == seen) {
        }
        seen = idle.polls.load();
    }
}

void idleCpuPerSecond(benchmark::State& state) {
    constexpr auto measured = 3s;
    IdleMonitor idle(SimTime::simulated, 0us, sleepFor);
    std::this_thread::sleep_for(200ms); // past the first poll's element change
    for (auto _ : state) {
        auto polls = idle.polls.load();
        auto cpu = processCpuTime();
        std::this_thread::sleep_for(measured);
        const double seconds = std::chrono::duration<double>(measured).count();
        state.counters["cpu_ms_per_s"] = (processCpuTime() - cpu).count() / seconds;
        state.counters["polls_per_s"] = static_cast<double>(idle.polls.load() - polls) / seconds;
    }
}

BENCHMARK_CAPTURE(idlePoll, calls_free, SimTime::simulated, 0us)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(idlePoll, realistic_latency, SimTime::real, realisticLatency)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(idleCpuPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
