#include "base/task.hpp"
#include "services/async_mutex.hpp"

#include <asio/io_context.hpp>
#include <gtest/gtest.h>

using namespace pennial;
using namespace std::chrono_literals;

TEST(AsyncMutex, WaitersGetTheLockInTurnAndACancelledOneLeavesTheQueue) {
    asio::io_context io;
    AsyncMutex mutex;
    std::vector<std::string> events;
    auto hold = [&](std::string name, std::chrono::milliseconds time) -> Awaitable<void> {
        auto guard = co_await mutex.lock();
        events.push_back(name + " in");
        co_await sleepFor(time);
        events.push_back(name + " out");
    };
    std::exception_ptr cancelledOutcome;
    Task::spawn(io.get_executor(), hold("a", 20ms));
    auto b = Task::spawn(io.get_executor(), hold("b", 1ms),
                         [&](std::exception_ptr error) { cancelledOutcome = error; });
    Task::spawn(io.get_executor(), hold("c", 1ms));
    auto cancelB = [&]() -> Awaitable<void> {
        co_await sleepFor(5ms);
        b.cancel();
    };
    Task::spawn(io.get_executor(), cancelB());
    io.run();

    EXPECT_EQ(events, (std::vector<std::string>{"a in", "a out", "c in", "c out"}));
    EXPECT_TRUE(isCancellation(cancelledOutcome));
}
