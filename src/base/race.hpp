#pragma once
// Two branches started together; the first to finish wins, by returning or by throwing. The loser
// is cancelled and awaited before the race returns.

#include "base/runtime.hpp"

#include <asio/experimental/deferred.hpp>
#include <asio/experimental/parallel_group.hpp>
#include <asio/this_coro.hpp>
#include <exception>
#include <type_traits>
#include <variant>

namespace pennial {

namespace detail {
template <class T> using RaceValue = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

template <class T> Awaitable<RaceValue<T>> asRaceValue(Awaitable<T> body) {
    if constexpr (std::is_void_v<T>) {
        co_await std::move(body);
        co_return std::monostate{};
    } else {
        co_return co_await std::move(body);
    }
}
} // namespace detail

// Index 0 of the result holds the first branch's value, index 1 the second's (void -> monostate).
template <class A, class B>
Awaitable<std::variant<detail::RaceValue<A>, detail::RaceValue<B>>> race(Awaitable<A> first,
                                                                         Awaitable<B> second) {
    using Result = std::variant<detail::RaceValue<A>, detail::RaceValue<B>>;
    auto executor = co_await asio::this_coro::executor;
    auto firstOp = asio::co_spawn(executor, detail::asRaceValue(std::move(first)),
                                  asio::experimental::deferred);
    auto secondOp = asio::co_spawn(executor, detail::asRaceValue(std::move(second)),
                                   asio::experimental::deferred);
    auto [order, firstError, firstValue, secondError, secondValue] =
        co_await asio::experimental::make_parallel_group(std::move(firstOp), std::move(secondOp))
            .async_wait(asio::experimental::wait_for_one(), asio::use_awaitable);
    if (order[0] == 0) {
        if (firstError)
            std::rethrow_exception(firstError);
        co_return Result(std::in_place_index<0>, std::move(firstValue));
    }
    if (secondError)
        std::rethrow_exception(secondError);
    co_return Result(std::in_place_index<1>, std::move(secondValue));
}

} // namespace pennial
