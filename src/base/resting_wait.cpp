#include "base/resting_wait.hpp"

#include "base/posted_completion.hpp"

#include <algorithm>
#include <asio/associated_cancellation_slot.hpp>
#include <asio/async_result.hpp>
#include <asio/this_coro.hpp>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <time.h>
#include <vector>

namespace pennial {

namespace {

using Clock = std::chrono::steady_clock;

void sleepUntil(Clock::time_point time) {
    // steady_clock is CLOCK_MONOTONIC.
    const auto since =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch());
    timespec until{static_cast<time_t>(since.count() / 1'000'000'000),
                   static_cast<long>(since.count() % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

struct Wait {
    Clock::time_point due;
    Clock::duration interval;
    std::function<bool()> resting;
    std::unique_ptr<PostedCompletion<SleepResult>> resumption; // taken when the wait ends
};

class Ticker {
public:
    Ticker() : thread_([this] { run(); }) {}
    ~Ticker() { stop(); }
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;

    void add(const std::shared_ptr<Wait>& wait) {
        bool added = false;
        {
            std::lock_guard lock(mutex_);
            if (!stopping_) {
                waits_.push_back(wait);
                added = true;
            }
        }
        if (added)
            changed_.notify_one();
        else
            end(wait, SleepResult::cancelled);
    }

    // Ends the wait now, unless a tick or the stop has ended it already.
    void end(const std::shared_ptr<Wait>& wait, SleepResult result) {
        std::unique_ptr<PostedCompletion<SleepResult>> resumption;
        {
            std::lock_guard lock(mutex_);
            resumption = std::move(wait->resumption);
            std::erase(waits_, wait);
        }
        if (resumption)
            resumption->complete(result);
    }

    // Ends the thread, once it wakes from the tick it sleeps towards; what still waits ends
    // cancelled.
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_one();
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
            thread_.join();
    }

private:
    void run() {
        pthread_setname_np(pthread_self(), "pennial-tick");
        // Kept across ticks, so that a tick at rest allocates nothing.
        std::vector<std::shared_ptr<Wait>> due;
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (waits_.empty()) {
                changed_.wait(lock);
                continue;
            }
            const auto now = Clock::now();
            auto next = Clock::time_point::max();
            for (const auto& wait : waits_)
                next = std::min(next, wait->due);
            if (now < next) {
                // A plain sleep costs a tick less than a timed wait on the condition: an added wait
                // is due an interval on, never sooner than the tick slept towards, and a cancelled
                // one is simply found gone; a stop is noticed on waking.
                lock.unlock();
                sleepUntil(next);
                lock.lock();
                continue;
            }
            for (auto wait = waits_.begin(); wait != waits_.end();) {
                if ((*wait)->due <= now) {
                    due.push_back(std::move(*wait));
                    wait = waits_.erase(wait);
                } else {
                    ++wait;
                }
            }
            // The checks run unlocked: an end that comes meanwhile takes the resumption first.
            lock.unlock();
            for (auto& wait : due) {
                if (wait->resting())
                    wait->due = now + wait->interval;
                else
                    end(wait, SleepResult::elapsed);
            }
            lock.lock();
            for (auto& wait : due)
                if (wait->resumption)
                    waits_.push_back(std::move(wait));
            due.clear();
        }
        auto left = std::move(waits_);
        lock.unlock();
        for (auto& wait : left)
            end(wait, SleepResult::cancelled);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<Wait>> waits_;
    bool stopping_ = false;
    std::thread thread_;
};

std::mutex tickerMutex;
std::shared_ptr<Ticker> runningTicker;

std::shared_ptr<Ticker> ticker() {
    std::lock_guard lock(tickerMutex);
    if (!runningTicker)
        runningTicker = std::make_shared<Ticker>();
    return runningTicker;
}

} // namespace

Awaitable<SleepResult> waitWhileResting(Clock::duration interval, std::function<bool()> resting) {
    auto state = co_await asio::this_coro::cancellation_state;
    if (state.cancelled() != asio::cancellation_type::none)
        co_return SleepResult::cancelled;
    auto initiation = [&](auto handler) {
        auto wait = std::make_shared<Wait>();
        wait->due = Clock::now() + interval;
        wait->interval = interval;
        wait->resting = std::move(resting);
        auto slot = asio::get_associated_cancellation_slot(handler);
        auto owner = ticker();
        if (slot.is_connected())
            slot.assign([owner, weak = std::weak_ptr(wait)](asio::cancellation_type type) {
                if (auto wait = weak.lock(); wait && type != asio::cancellation_type::none)
                    owner->end(wait, SleepResult::cancelled);
            });
        wait->resumption = postedCompletion<SleepResult>(std::move(handler));
        owner->add(wait);
    };
    co_return co_await asio::async_initiate<decltype(asio::use_awaitable), void(SleepResult)>(
        initiation, asio::use_awaitable);
}

void stopRestingWaits() {
    std::shared_ptr<Ticker> ending;
    {
        std::lock_guard lock(tickerMutex);
        ending = std::move(runningTicker);
    }
    if (ending)
        ending->stop();
}

} // namespace pennial
