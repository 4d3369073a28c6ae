#include "base/task.hpp"
#include "platform/linux/qt/qt_executor.hpp"

#include <QCoreApplication>
#include <QTimer>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>
#include <asio/thread_pool.hpp>
#include <asio/use_awaitable.hpp>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

class QtExecutorTest : public ::testing::Test {
protected:
    // Runs the event loop until quit() or the safety time-out.
    void runLoop() {
        QTimer::singleShot(5s, &app_, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(QCoreApplication::exec(), 0) << "the event loop timed out";
    }

    int argc_ = 1;
    char name_[16] = "qt_executor";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication app_{argc_, argv_};
    QtExecutionContext context_;
    const std::thread::id qtThread_ = std::this_thread::get_id();
};

} // namespace

TEST_F(QtExecutorTest, CoroutinesAndTheirTimersRunOnTheQtThread) {
    std::vector<std::thread::id> threads;
    std::chrono::steady_clock::duration waited{};
    auto body = [&]() -> Awaitable<void> {
        threads.push_back(std::this_thread::get_id());
        const auto start = std::chrono::steady_clock::now();
        asio::steady_timer timer(co_await asio::this_coro::executor, 20ms);
        co_await timer.async_wait(asio::use_awaitable);
        threads.push_back(std::this_thread::get_id());
        EXPECT_EQ(co_await sleepFor(5ms), SleepResult::elapsed);
        threads.push_back(std::this_thread::get_id());
        waited = std::chrono::steady_clock::now() - start;
    };
    Task::spawn(context_.get_executor(), body(), [](std::exception_ptr error) {
        EXPECT_FALSE(error);
        QCoreApplication::quit();
    });
    runLoop();

    ASSERT_EQ(threads.size(), 3u);
    for (std::thread::id thread : threads)
        EXPECT_EQ(thread, qtThread_);
    EXPECT_GE(waited, 25ms);
}

TEST_F(QtExecutorTest, NeverRunsWorkInlineAndKeepsItsOrder) {
    Executor executor = context_.get_executor();
    std::vector<int> order;
    asio::post(executor, [&] { order.push_back(1); });
    asio::dispatch(executor, [&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());

    // Work posted from another thread still runs on the Qt thread, after what was queued before.
    std::thread::id ranOn;
    std::thread([&] {
        asio::post(executor, [&] {
            ranOn = std::this_thread::get_id();
            order.push_back(3);
            QCoreApplication::quit();
        });
    }).join();
    runLoop();

    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ranOn, qtThread_);
}

TEST_F(QtExecutorTest, CancellingATaskEndsItsWaitOnTheQtThread) {
    bool cancelled = false;
    auto body = []() -> Awaitable<void> { co_await sleepFor(10s); };
    Task task = Task::spawn(context_.get_executor(), body(), [&](std::exception_ptr error) {
        cancelled = !error || isCancellation(error);
        QCoreApplication::quit();
    });
    QTimer::singleShot(10ms, &app_, [&] { task.cancel(); });
    runLoop();
    EXPECT_TRUE(cancelled);
}

TEST(QtExecutionContext, DroppingItWithWorkAndTimersPendingRunsNothing) {
    int argc = 1;
    char name[] = "qt_executor";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    bool ran = false;
    {
        QtExecutionContext context;
        asio::post(context.get_executor(), [&] { ran = true; });
        auto body = [&]() -> Awaitable<void> {
            co_await sleepFor(1ms);
            ran = true;
        };
        Task::spawn(context.get_executor(), body());
        std::this_thread::sleep_for(5ms); // let the timer fire into the queue
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

// Quitting: a coroutine resumed from a pool's strand sits in the Qt queue holding that strand (and
// so the pool) when the loop ends. The context is closed before the pool goes (under the
// sanitizers, the other order reads the pool after it is freed), and work handed to the closed
// context is dropped at once rather than kept or run.
TEST(QtExecutionContext, ClosingBeforeThePoolGoesDropsWorkHoldingThePool) {
    int argc = 1;
    char name[] = "qt_executor";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QtExecutionContext context;
    auto pool = std::make_unique<asio::thread_pool>(1);
    std::optional strand(asio::make_strand(pool->get_executor()));
    auto held = std::make_shared<int>(0);
    bool resumed = false;
    std::atomic<bool> ran{false};
    auto onStrand = [&ran](std::shared_ptr<int> value) -> Awaitable<int> {
        ran = true;
        co_return *value;
    };
    auto caller = [&]() -> Awaitable<void> {
        co_await awaitOn(*strand, onStrand(held));
        resumed = true;
    };
    Task::spawn(context.get_executor(), caller());
    QCoreApplication::processEvents(); // the caller starts and hops to the strand
    while (!ran)
        std::this_thread::yield();
    std::this_thread::sleep_for(20ms);
    pool->stop();
    pool->join(); // the strand's work has run and queued the caller's resumption here
    context.close();
    strand.reset();
    pool.reset();

    asio::post(context.get_executor(), [held] { *held = 1; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(resumed);
    EXPECT_EQ(*held, 0);
    EXPECT_EQ(held.use_count(), 1) << "work queued or handed over after closing was kept";
}
