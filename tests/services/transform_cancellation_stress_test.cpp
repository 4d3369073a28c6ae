// The transform raced against an edit of the field, thousands of times, with the answer, the edit
// and the retry sleep landing in every order: the path every edit during a call takes. Meant to
// run under the sanitizers; PENNIAL_STRESS_RUNS sets the number of races (a short run by default).

#include "base/race.hpp"
#include "base/task.hpp"
#include "services/curl_http_client.hpp"
#include "services/http_client.hpp"
#include "services/transform_service.hpp"
#include "static_token_provider.hpp"
#include "support/fake_backend.hpp"
#include "support/test_seed.hpp"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <random>

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;

namespace {

int stressRuns() {
    const char* runs = std::getenv("PENNIAL_STRESS_RUNS");
    return runs ? std::max(1, std::atoi(runs)) : 400;
}

// A seeded source of short waits, shared by the backend's thread and the test's.
class Jitter {
public:
    explicit Jitter(unsigned seed) : random_(seed) {}
    std::chrono::microseconds upTo(std::chrono::microseconds most) {
        std::lock_guard lock(mutex_);
        return std::chrono::microseconds(
            std::uniform_int_distribution<long long>(0, most.count())(random_));
    }
    bool oneIn(int n) {
        std::lock_guard lock(mutex_);
        return std::uniform_int_distribution<int>(0, n - 1)(random_) == 0;
    }

private:
    std::mutex mutex_;
    std::mt19937 random_;
};

} // namespace

TEST(TransformCancellationStress, AnEditDuringTheCallEndsItCleanlyInEveryOrder) {
    const unsigned seed = testSeed();
    SCOPED_TRACE(seedTrace(seed));
    Jitter jitter(seed);

    FakeBackend backend;
    // Some sends fail at the network level, so the service sleeps and retries.
    backend.setDefaultHandler(Endpoint::transform, [&](const RecordedRequest&) {
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(jitter.upTo(2000us));
        if (jitter.oneIn(3))
            return FakeAnswer::closed().after(wait);
        return FakeAnswer::json(200, {{"transformedText", "done"}}).after(wait);
    });
    CurlHttpClient client;
    StaticTokenProvider tokens;
    TransformService::Sleep retrySleep = [&](std::chrono::steady_clock::duration) {
        return sleepFor(jitter.upTo(1500us));
    };
    TransformService service(client, backend.baseURL(), 30.0, tokens, retrySleep);
    const auto fix = Command::make("fix", "Fix it", true);

    asio::io_context main;
    int answered = 0, edited = 0, failed = 0;
    auto oneRace = [&](std::chrono::microseconds editAfter) -> Awaitable<void> {
        auto edit = [](std::chrono::microseconds after) -> Awaitable<void> {
            co_await sleepFor(after);
            throw std::system_error(asio::error::operation_aborted);
        };
        try {
            auto winner = co_await race(
                service.transform("text", fix, std::nullopt, std::nullopt, std::nullopt),
                edit(editAfter));
            EXPECT_EQ(winner.index(), 0u);
            ++answered;
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code(), asio::error::operation_aborted);
            ++edited;
        } catch (const HTTPError&) {
            ++failed; // three network failures in a row
        }
    };
    const int runs = stressRuns();
    for (int run = 0; run < runs; ++run) {
        // The edit lands anywhere from at once to after the answer; a zero wait puts it on the
        // turn the race starts, and waits near the answer's put both on one turn.
        asio::co_spawn(main, oneRace(jitter.oneIn(8) ? 0us : jitter.upTo(3000us)), asio::detached);
        main.restart();
        main.run();
    }
    EXPECT_EQ(answered + edited + failed, runs);
    if (runs >= 100) {
        EXPECT_GT(edited, runs / 10) << "edits won";
        EXPECT_GT(answered, runs / 20) << "answers won";
    }
    std::printf("races %d: edit first %d, answer first %d, failed %d (seed %u)\n", runs, edited,
                answered, failed, seed);
}
