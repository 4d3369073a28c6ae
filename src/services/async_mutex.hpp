#pragma once
// Mutual exclusion for coroutines that all run on one strand: a waiter suspends instead of
// blocking, so an actor can hold it across co_await and still serve other calls meanwhile.

#include "base/runtime.hpp"

#include <asio/steady_timer.hpp>
#include <deque>
#include <utility>

namespace pennial {

class AsyncMutex {
public:
    // Owns the lock until destroyed; destroy it on the same strand.
    class Guard {
    public:
        Guard(Guard&& other) noexcept : mutex_(std::exchange(other.mutex_, nullptr)) {}
        Guard& operator=(Guard&&) = delete;
        ~Guard() {
            if (mutex_)
                mutex_->unlock();
        }

    private:
        friend class AsyncMutex;
        explicit Guard(AsyncMutex* mutex) : mutex_(mutex) {}
        AsyncMutex* mutex_;
    };

    // Waiters get the lock in arrival order. A waiter whose coroutine is cancelled leaves the
    // queue and throws operation_aborted.
    Awaitable<Guard> lock();

private:
    struct Waiter {
        explicit Waiter(const Executor& executor)
            : timer(executor, asio::steady_timer::time_point::max()) {}
        asio::steady_timer timer;
        bool granted = false;
    };

    void unlock();

    bool locked_ = false;
    std::deque<Waiter*> waiters_;
};

} // namespace pennial
