#include "base/runtime.hpp"

namespace pennial {

asio::thread_pool& sharedPool() {
    // Two threads: actors are I/O bound; more would only add contention on this small machine.
    static asio::thread_pool pool(2);
    return pool;
}

Actor::Actor(Executor base) : strand_(asio::make_strand(std::move(base))) {}

} // namespace pennial
