#include "base/task.hpp"
#include "services/async_mutex.hpp"

#include <asio/io_context.hpp>
#include <functional>
#include <gtest/gtest.h>

using namespace pennial;
using namespace std::chrono_literals;

TEST(AsyncMutex, WaitersGetTheLockInTurnAndACancelledOneLeavesTheQueue) {
    asio::io_context io;
    AsyncMutex mutex;
    std::vector<std::string> events;
    Task b;
    auto holdUntil = [&](std::string name, std::function<bool()> release) -> Awaitable<void> {
        auto guard = co_await mutex.lock();
        events.push_back(name + " in");
        while (!release())
            co_await sleepFor(1ms);
        events.push_back(name + " out");
    };
    std::exception_ptr cancelledOutcome;
    Task::spawn(io.get_executor(), holdUntil("a", [&] { return !b.isRunning(); }));
    b = Task::spawn(io.get_executor(), holdUntil("b", [] { return true; }),
                    [&](std::exception_ptr error) { cancelledOutcome = error; });
    Task::spawn(io.get_executor(), holdUntil("c", [] { return true; }));
    auto cancelB = [&]() -> Awaitable<void> {
        co_await sleepFor(1ms);
        b.cancel();
    };
    Task::spawn(io.get_executor(), cancelB());
    io.run();

    EXPECT_EQ(events, (std::vector<std::string>{"a in", "a out", "c in", "c out"}));
    EXPECT_TRUE(isCancellation(cancelledOutcome));
}
