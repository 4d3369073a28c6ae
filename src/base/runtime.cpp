#include "base/runtime.hpp"

#include <memory>
#include <mutex>

namespace pennial {

namespace {

std::mutex poolMutex;
std::unique_ptr<asio::thread_pool> pool;

} // namespace

asio::thread_pool& sharedPool() {
    std::lock_guard lock(poolMutex);
    // Two threads: actors are I/O bound; more would only add contention on this small machine.
    if (!pool)
        pool = std::make_unique<asio::thread_pool>(2);
    return *pool;
}

void shutdownSharedPool() {
    std::unique_ptr<asio::thread_pool> ending;
    {
        std::lock_guard lock(poolMutex);
        ending = std::move(pool);
    }
    if (!ending)
        return;
    ending->stop();
    ending->join();
    ending.reset(); // work that never ran is destroyed here, while what it refers to still exists
}

Actor::Actor(Executor base) : strand_(asio::make_strand(std::move(base))) {}

} // namespace pennial
