#include "base/runtime.hpp"

#include "base/resting_wait.hpp"

#include <asio/post.hpp>
#include <memory>
#include <mutex>
#include <pthread.h>

namespace pennial {

namespace {

std::mutex poolMutex;
std::unique_ptr<asio::thread_pool> pool;
std::unique_ptr<asio::thread_pool> polling;

} // namespace

asio::thread_pool& sharedPool() {
    std::lock_guard lock(poolMutex);
    // Two threads: actors are I/O bound; more would only add contention on this small machine.
    if (!pool)
        pool = std::make_unique<asio::thread_pool>(2);
    return *pool;
}

asio::thread_pool& pollingPool() {
    std::lock_guard lock(poolMutex);
    // One thread: a pool of one runs a timer's handler where the timer fired.
    if (!polling) {
        polling = std::make_unique<asio::thread_pool>(1);
        asio::post(*polling, [] { pthread_setname_np(pthread_self(), "pennial-poll"); });
    }
    return *polling;
}

bool mayRunSharedPoolWorkHere() {
    std::lock_guard lock(poolMutex);
    return (pool && pool->get_executor().running_in_this_thread()) ||
           (polling && polling->get_executor().running_in_this_thread());
}

void stopSharedPool() {
    // Its waits end first, so that their coroutines resume on pools still running.
    stopRestingWaits();
    for (auto* which : {&polling, &pool}) {
        asio::thread_pool* ending = nullptr;
        {
            std::lock_guard lock(poolMutex);
            ending = which->get();
        }
        if (!ending)
            continue;
        ending->stop();
        ending->join();
    }
}

void releaseSharedPool() {
    for (auto* which : {&polling, &pool}) {
        std::unique_ptr<asio::thread_pool> ending;
        {
            std::lock_guard lock(poolMutex);
            ending = std::move(*which);
        }
        ending.reset(); // work that never ran is destroyed here, while what it refers to exists
    }
}

Actor::Actor(Executor base) : strand_(asio::make_strand(std::move(base))) {}

} // namespace pennial
