#pragma once
// Runs a coroutine to its end on a test's main executor (an io_context on the test thread) and
// hands back its result, or rethrows what it threw.

#include "base/runtime.hpp"

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <exception>
#include <optional>
#include <utility>

namespace pennial {

template <class T> T runToEnd(asio::io_context& io, Awaitable<T> body) {
    std::exception_ptr failure;
    std::optional<T> result;
    asio::co_spawn(io, std::move(body), [&](std::exception_ptr error, T value) {
        failure = error;
        if (!error)
            result.emplace(std::move(value));
    });
    io.restart();
    io.run();
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*result);
}

inline void runToEnd(asio::io_context& io, Awaitable<void> body) {
    std::exception_ptr failure;
    asio::co_spawn(io, std::move(body), [&](std::exception_ptr error) { failure = error; });
    io.restart();
    io.run();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace pennial
