// Context capture on a generated 5,000-element page of the simulated desktop, whose calls take a
// real per-call latency: each strategy's time and element reads, and the whole capture, which must
// stay within its deadline while each harvest stays within its element cap.

#include "platform/sim/sim_element_ref.hpp"
#include "platform/sim/sim_page.hpp"
#include "text/ax_tree_helpers.hpp"
#include "text/baseline_strategy.hpp"
#include "text/batch_tree_walk_strategy.hpp"
#include "text/context_limits.hpp"
#include "text/context_strategy_router.hpp"
#include "text/parent_walk_v2_strategy.hpp"
#include "text/text_marker_strategy.hpp"

#include <benchmark/benchmark.h>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

// A warm call to a Qt or GTK 4 application over the accessibility bus costs 0.2-0.3 ms.
constexpr auto realisticLatency = 250us;

struct Page {
    explicit Page(bool textMarkers, SimClock::Clock::duration latency = realisticLatency)
        : desktop(SimTime::real) {
        SimPageLayout layout;
        layout.textMarkers = textMarkers;
        page = buildSimPage(desktop, {600, "org.example.browser", "Browser"}, layout);
        desktop.setCallLatency(latency);
    }

    CaptureDeadline deadline() const {
        return CaptureDeadline::after(context_limits::captureDeadline);
    }

    SimDesktop desktop;
    SimPage page;
};

void report(benchmark::State& state, const Page& page, std::size_t reads, std::size_t chars) {
    auto iterations = static_cast<double>(state.iterations());
    state.counters["reads"] = static_cast<double>(reads) / iterations;
    state.counters["chars"] = static_cast<double>(chars) / iterations;
    state.counters["elements"] = page.page.elementCount;
}

void strategyAlone(benchmark::State& state, const ContextStrategy* strategy, bool textMarkers) {
    Page page(textMarkers);
    auto& ax = *page.desktop.accessibility();
    auto focused = makeElementRef(page.page.field);
    std::size_t reads = 0, chars = 0;
    for (auto _ : state) {
        page.desktop.callLog().clear();
        CaptureScope scope(ax, page.deadline());
        auto text = strategy->captureSurroundingText(focused, page.page.application->pid(), scope);
        chars += text ? text->size() : 0;
        reads += page.desktop.callLog().readCount();
    }
    report(state, page, reads, chars);
}

void fullCapture(benchmark::State& state, bool textMarkers, SimClock::Clock::duration latency) {
    Page page(textMarkers, latency);
    ContextStrategyRouter router(page.desktop.accessibility());
    auto focused = makeElementRef(page.page.field);
    std::size_t reads = 0, chars = 0;
    std::chrono::steady_clock::duration longest{};
    for (auto _ : state) {
        page.desktop.callLog().clear();
        auto start = std::chrono::steady_clock::now();
        auto result =
            router.captureSurroundingText(focused, page.page.application->pid(),
                                          "org.example.browser", "Browser", page.deadline());
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
        chars += result.text ? result.text->size() : 0;
        reads += page.desktop.callLog().readCount();
        benchmark::DoNotOptimize(result);
    }
    report(state, page, reads, chars);
    state.counters["longest_ms"] = std::chrono::duration<double, std::milli>(longest).count();
}

// The static harvest of the whole window, which its cap must bound.
void staticHarvest(benchmark::State& state) {
    Page page(false);
    auto& ax = *page.desktop.accessibility();
    auto window = makeElementRef(page.page.window);
    auto focused = makeElementRef(page.page.field);
    int visited = 0;
    for (auto _ : state) {
        CaptureScope scope(ax, page.deadline());
        TextHarvest harvest;
        AXTreeHelpers::collectStaticText(scope, window, harvest, focused, 30);
        visited = std::max(visited, harvest.elementCount);
    }
    state.counters["visited_max"] = visited;
}

const TextMarkerStrategy textMarker;
const BaselineStrategy baseline;
const ParentWalkV2Strategy parentWalk;
const BatchTreeWalkStrategy batchWalk;

} // namespace

BENCHMARK_CAPTURE(strategyAlone, textmarker_with_markers, &textMarker, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(strategyAlone, textmarker_without_markers, &textMarker, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(strategyAlone, baseline, &baseline, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(strategyAlone, parent_walk_v2, &parentWalk, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(strategyAlone, batch_tree_walk, &batchWalk, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fullCapture, router_with_markers, true, realisticLatency)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fullCapture, router_without_markers, false, realisticLatency)
    ->Unit(benchmark::kMillisecond);
// An application ten times slower than usual: the deadline must cut the capture at 2 s.
BENCHMARK_CAPTURE(fullCapture, router_slow_application, false, 2500us)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(staticHarvest)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
