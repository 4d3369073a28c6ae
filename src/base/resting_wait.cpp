#include "base/resting_wait.hpp"

#include <algorithm>
#include <asio/associated_cancellation_slot.hpp>
#include <asio/associated_executor.hpp>
#include <asio/async_result.hpp>
#include <asio/execution/outstanding_work.hpp>
#include <asio/post.hpp>
#include <asio/prefer.hpp>
#include <asio/this_coro.hpp>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace pennial {

namespace {

using Clock = std::chrono::steady_clock;

// Resumes the waiting coroutine on its own executor.
class Resumption {
public:
    virtual ~Resumption() = default;
    virtual void resume(SleepResult result) = 0;
};

template <class Handler> class ResumptionFor final : public Resumption {
public:
    explicit ResumptionFor(Handler handler)
        : handler_(std::move(handler)),
          work_(asio::prefer(asio::get_associated_executor(handler_),
                             asio::execution::outstanding_work.tracked)) {}

    void resume(SleepResult result) override {
        auto work = work_;
        asio::post(work, [handler = std::move(handler_), result]() mutable {
            // The slot belongs to the handler's executor: cleared there, before resuming.
            asio::get_associated_cancellation_slot(handler).clear();
            std::move(handler)(result);
        });
    }

private:
    Handler handler_;
    decltype(asio::prefer(std::declval<asio::associated_executor_t<Handler>>(),
                          asio::execution::outstanding_work.tracked)) work_;
};

struct Wait {
    Clock::time_point due;
    Clock::duration interval;
    std::function<bool()> resting;
    std::unique_ptr<Resumption> resumption; // taken when the wait ends
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
        std::unique_ptr<Resumption> resumption;
        {
            std::lock_guard lock(mutex_);
            resumption = std::move(wait->resumption);
            std::erase(waits_, wait);
        }
        if (resumption)
            resumption->resume(result);
    }

    // Ends the thread; what still waits ends cancelled.
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
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (waits_.empty()) {
                changed_.wait(lock);
                continue;
            }
            const auto next = std::min_element(waits_.begin(), waits_.end(),
                                               [](auto& a, auto& b) { return a->due < b->due; })
                                  ->get()
                                  ->due;
            if (Clock::now() < next) {
                changed_.wait_until(lock, next);
                continue;
            }
            auto due = std::move(waits_);
            waits_.clear();
            // The checks run unlocked: an end that comes meanwhile takes the resumption first.
            lock.unlock();
            std::vector<std::shared_ptr<Wait>> kept;
            for (auto& wait : due) {
                if (wait->due > Clock::now())
                    kept.push_back(wait);
                else if (!wait->resting())
                    end(wait, SleepResult::elapsed);
                else {
                    wait->due = Clock::now() + wait->interval;
                    kept.push_back(wait);
                }
            }
            lock.lock();
            for (auto& wait : kept)
                if (wait->resumption)
                    waits_.push_back(wait);
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
        wait->resumption = std::make_unique<ResumptionFor<decltype(handler)>>(std::move(handler));
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
