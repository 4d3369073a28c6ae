#pragma once
// Runs one coroutine to its end on a fresh io_context standing in for the main thread.

#include "base/runtime.hpp"

#include <asio/io_context.hpp>
#include <asio/use_future.hpp>

namespace pennial::testing {

template <class T> T runAwaitable(Awaitable<T> body) {
    asio::io_context io;
    auto result = asio::co_spawn(io, std::move(body), asio::use_future);
    io.run();
    return result.get();
}

} // namespace pennial::testing
