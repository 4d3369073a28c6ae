// What scrubbing costs on the thread that reports: a breadcrumb and an error's message against a
// full set of known secrets.

#include "base/secret_scrubber.hpp"

#include <benchmark/benchmark.h>
#include <string>

namespace {

const pennial::SecretScrubber& fullScrubber() {
    static const auto* scrubber = [] {
        auto* filled = new pennial::SecretScrubber;
        for (std::size_t i = 0; i < pennial::SecretScrubber::maxSecrets; ++i)
            filled->remember("secret-" + std::to_string(i * 7919) + std::string(40, 'k'));
        return filled;
    }();
    return *scrubber;
}

void breadcrumb(benchmark::State& state) {
    std::string message = "Startup complete; session restored for user 00000000-0000-4000-8000";
    for (auto _ : state)
        benchmark::DoNotOptimize(fullScrubber().scrub(message));
}
BENCHMARK(breadcrumb);

void errorMessage(benchmark::State& state) {
    std::string message;
    while (message.size() < 8192)
        message += "decodingError(the answer is not JSON at offset 4711) ";
    for (auto _ : state)
        benchmark::DoNotOptimize(fullScrubber().scrub(message));
}
BENCHMARK(errorMessage);

} // namespace

BENCHMARK_MAIN();
