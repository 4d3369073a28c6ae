#include "base/race.hpp"
#include "base/resting_wait.hpp"
#include "base/task.hpp"

#include <algorithm>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

class Counter : public Actor {
public:
    Awaitable<int> increment() {
        return onStrand([](Counter* self) -> Awaitable<int> {
            int seen = self->value_;
            co_await sleepFor(1ms); // re-entrant here, as actors are
            self->value_ = seen + 1;
            co_return self->value_;
        }(this));
    }
    Awaitable<int> add() {
        return onStrand([](Counter* self) -> Awaitable<int> { co_return ++self->value_; }(this));
    }

private:
    int value_ = 0;
};

Awaitable<int> after(std::chrono::milliseconds delay, int value) {
    co_await sleepFor(delay);
    co_return value;
}

Awaitable<int> failAfter(std::chrono::milliseconds delay) {
    co_await sleepFor(delay);
    throw std::runtime_error("boom");
}

} // namespace

TEST(Runtime, SleepTellsCancelledFromElapsed) {
    asio::io_context io;
    std::vector<SleepResult> results;
    // Coroutine lambdas live in named locals: their captures must outlive the coroutine.
    Task longSleep;
    auto sleeper = [&]() -> Awaitable<void> {
        results.push_back(co_await sleepFor(10s));
        try {
            co_await sleepFor(1ms);
        } catch (const std::system_error&) {
            results.push_back(SleepResult::cancelled); // awaiting anything after a cancel throws
        }
    };
    auto canceller = [&]() -> Awaitable<void> {
        results.push_back(co_await sleepFor(1ms));
        longSleep.cancel();
    };
    longSleep = Task::spawn(io.get_executor(), sleeper());
    Task::spawn(io.get_executor(), canceller());
    auto start = std::chrono::steady_clock::now();
    io.run();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(results,
              (std::vector{SleepResult::elapsed, SleepResult::cancelled, SleepResult::cancelled}));
    EXPECT_FALSE(longSleep.isRunning());
}

TEST(Runtime, TaskReportsCancellationAsItsOwnOutcome) {
    asio::io_context io;
    std::exception_ptr outcome;
    auto task = Task::spawn(
        io.get_executor(),
        []() -> Awaitable<void> {
            asio::steady_timer timer(co_await asio::this_coro::executor, 10s);
            co_await timer.async_wait(asio::use_awaitable);
        }(),
        [&](std::exception_ptr e) { outcome = e; });
    asio::post(io, [&] { task.cancel(); });
    io.run();
    EXPECT_TRUE(isCancellation(outcome));
    EXPECT_FALSE(isCancellation(std::make_exception_ptr(std::runtime_error("x"))));
}

TEST(Runtime, RaceFirstToFinishWinsIncludingByThrowing) {
    asio::io_context io;
    std::optional<std::size_t> winner;
    std::string failure;
    auto racer = [&]() -> Awaitable<void> {
        auto result = co_await race(after(1ms, 7), after(5s, 9));
        winner = result.index();
        EXPECT_EQ(std::get<0>(result), 7);
        try {
            co_await race(after(5s, 1), failAfter(1ms));
        } catch (const std::runtime_error& e) {
            failure = e.what();
        }
    };
    Task::spawn(io.get_executor(), racer());
    auto start = std::chrono::steady_clock::now();
    io.run();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "losers are cancelled at once";
    EXPECT_EQ(winner, 0u);
    EXPECT_EQ(failure, "boom");
}

TEST(Runtime, ActorRunsOneOperationAtATimeButIsReentrantAtAwaits) {
    asio::io_context io;
    Counter counter;
    std::vector<int> results;
    auto caller = [&]() -> Awaitable<void> {
        results.push_back(co_await counter.add());
        results.push_back(co_await counter.increment());
        results.push_back(co_await counter.add());
    };
    Task::spawn(io.get_executor(), caller());
    io.run();
    EXPECT_EQ(results, (std::vector{1, 2, 3}));
}

// Several waits at once on the ticking thread: each ends exactly once, at the first tick whose
// check finds work, at once when cancelled, and when the thread is stopped (which a later wait
// starts again).
TEST(Runtime, RestingWaitEndsAtTheFirstBusyTickOrWhenCancelledOrStopped) {
    asio::io_context io;
    auto work = asio::make_work_guard(io);
    std::atomic<int> checks{0};
    std::vector<std::pair<char, SleepResult>> ended;
    auto waiter = [&](char name, std::function<bool()> resting) -> Awaitable<void> {
        ended.emplace_back(name, co_await waitWhileResting(2ms, std::move(resting)));
    };
    const auto start = std::chrono::steady_clock::now();
    Task::spawn(io.get_executor(), waiter('a', [&] { return ++checks < 6; }));
    auto cancelled = Task::spawn(io.get_executor(), waiter('b', [] { return true; }));
    auto stopped = [&]() -> Awaitable<void> {
        co_await sleepFor(40ms);
        cancelled.cancel();
        co_await sleepFor(10ms);
        stopRestingWaits();
        co_await sleepFor(10ms);
        co_await waiter('d', [] { return false; });
        work.reset();
    };
    Task::spawn(io.get_executor(), waiter('c', [] { return true; }));
    Task::spawn(io.get_executor(), stopped());
    io.run();
    std::sort(ended.begin(), ended.end());
    EXPECT_EQ(checks, 6);
    EXPECT_EQ(ended, (std::vector<std::pair<char, SleepResult>>{{'a', SleepResult::elapsed},
                                                                {'b', SleepResult::cancelled},
                                                                {'c', SleepResult::cancelled},
                                                                {'d', SleepResult::elapsed}}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}
