#pragma once
// Runs a piece of synchronous work on another executor and resumes the caller on its own.

#include "base/runtime.hpp"

#include <asio/co_spawn.hpp>
#include <asio/use_awaitable.hpp>
#include <type_traits>

namespace pennial {

template <class Work> Awaitable<std::invoke_result_t<Work&>> runOn(Executor executor, Work work) {
    using Result = std::invoke_result_t<Work&>;
    // The work is a parameter of the spawned coroutine, so it lives in that coroutine's frame.
    auto perform = [](Work work) -> Awaitable<Result> { co_return work(); };
    co_return co_await asio::co_spawn(executor, perform(std::move(work)), asio::use_awaitable);
}

} // namespace pennial
