// The trigger pipeline's own time on the simulated desktop, with a backend that answers at once
// (the local fake backend, no delay): from the trigger handed to the coordinator to the result in
// the field, and to the end of the handling (which adds the range write's settle and check).
// Accessibility calls cost nothing here; the text-change watcher's first look, 50 ms in, comes
// after the answer, so its period is not part of the figures.

#include "app/app_coordinator.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "services/auth_session.hpp"
#include "support/app_fake_text_monitor.hpp"
#include "support/fake_backend.hpp"
#include "support/sim_coordinator_dependencies.hpp"

#include <algorithm>
#include <asio/co_spawn.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

using namespace pennial;
using namespace pennial::testing;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* typed = "helo wrld ;;fix";
constexpr const char* answer = "[fix] helo wrld";

// A signed-in, monitoring coordinator on the simulated desktop, its main executor run by the
// benchmark's thread.
class Pipeline {
public:
    struct Sample {
        Clock::duration written;
        Clock::duration ended;
    };

    Pipeline() {
        configFolder_ = std::filesystem::temp_directory_path() /
                        ("pennial-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(configFolder_);
        desktop_.setTrusted(true);
        for (const char* flag :
             {"hasSeenWelcomeOnboarding", "hasSeenVideoIntro", "hasCompletedProfileOnboarding",
              "hasCompletedPlaygroundOnboarding"})
            defaults_->setBool(flag, true);
        auto issued = backend_.issueSession("ada@example.test");
        AuthSession session{issued.userId, issued.accessToken, issued.refreshToken,
                            std::chrono::system_clock::now() + std::chrono::hours(1), issued.email};
        secrets_->putItem("com.pennial.Pennial.auth", "session", session.toJson());
        field_ = desktop_.addApplication({501, "org.example.notes", "Notes"})
                     ->addWindow("Draft")
                     ->add(SimElement::textArea());
        desktop_.focus(field_);

        auto dependencies = simCoordinatorDependencies(desktop_, main_.get_executor(),
                                                       configFolder_ / "config.json");
        dependencies.clipboard = desktop_.clipboard();
        dependencies.keyboardSynthesizer = desktop_.keyboardSynthesizer();
        dependencies.secretStore = secrets_;
        dependencies.userDefaults = defaults_;
        dependencies.makeTextMonitor = [this](std::shared_ptr<AccessibilityMonitor>,
                                              std::string pattern) {
            monitor_ = std::make_shared<FakeTextMonitor>(std::move(pattern));
            return monitor_;
        };
        dependencies.endpoints = {backend_.baseURL(), backend_.baseURL(), "bench-key"};
        dependencies.timings.transformCooldown = Clock::duration::zero();
        coordinator_ = AppCoordinator::create(std::move(dependencies));
        while (coordinator_->isStarting())
            main_.run_one();
        if (!coordinator_->isMonitoring())
            throw std::runtime_error("the coordinator did not start monitoring");
    }

    ~Pipeline() {
        coordinator_.reset();
        main_.run_for(std::chrono::milliseconds(20));
        std::filesystem::remove_all(configFolder_);
    }

    Sample trigger() {
        field_->setText(typed);
        bool done = false;
        std::optional<Clock::time_point> written;
        const auto start = Clock::now();
        asio::co_spawn(main_, monitor_->sendTrigger("fix", ";;fix", 10),
                       [&done](std::exception_ptr) { done = true; });
        while (!done) {
            main_.run_one();
            if (!written && field_->text() == answer)
                written = Clock::now();
        }
        const auto ended = Clock::now();
        if (!written)
            throw std::runtime_error("the result was not written");
        desktop_.callLog().clear();
        return {*written - start, ended - start};
    }

private:
    asio::io_context main_;
    asio::executor_work_guard<asio::io_context::executor_type> guard_{main_.get_executor()};
    std::filesystem::path configFolder_;
    SimDesktop desktop_;
    FakeBackend backend_;
    std::shared_ptr<SimSecretStore> secrets_ = std::make_shared<SimSecretStore>();
    std::shared_ptr<SimUserDefaults> defaults_ = std::make_shared<SimUserDefaults>();
    std::shared_ptr<FakeTextMonitor> monitor_;
    SimElementPtr field_;
    std::shared_ptr<AppCoordinator> coordinator_;
};

double percentileMs(std::vector<Clock::duration> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
    return std::chrono::duration<double, std::milli>(samples[index]).count();
}

void triggerToWrittenResult(benchmark::State& state) {
    ::setenv("PENNIAL_QUIET_LOG", "1", 1); // before the first line is logged
    Pipeline pipeline;
    pipeline.trigger(); // warm: connections, caches
    std::vector<Clock::duration> written, ended;
    for (auto _ : state) {
        auto sample = pipeline.trigger();
        written.push_back(sample.written);
        ended.push_back(sample.ended);
        state.SetIterationTime(std::chrono::duration<double>(sample.written).count());
    }
    state.counters["written_median_ms"] = percentileMs(written, 0.5);
    state.counters["written_p95_ms"] = percentileMs(written, 0.95);
    state.counters["ended_median_ms"] = percentileMs(ended, 0.5);
    state.counters["ended_p95_ms"] = percentileMs(ended, 0.95);
}

BENCHMARK(triggerToWrittenResult)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
