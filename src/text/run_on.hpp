#pragma once
// Runs a piece of synchronous work on another executor and resumes the caller on its own.

#include "base/hop.hpp"
#include "base/runtime.hpp"

#include <asio/co_spawn.hpp>
#include <asio/use_awaitable.hpp>
#include <type_traits>

namespace pennial {

inline bool runsOnSharedPool(const Executor& executor) {
    return &asio::query(executor, asio::execution::context) ==
           static_cast<asio::execution_context*>(&sharedPool());
}

template <class Work> Awaitable<std::invoke_result_t<Work&>> runOn(Executor executor, Work work) {
    using Result = std::invoke_result_t<Work&>;
    // Work meant for the shared pool runs at once when the caller is already on one of its
    // threads, or on the polling thread (the text monitor's reads): the hop would only cost two
    // thread switches.
    if (runsOnSharedPool(executor) && mayRunSharedPoolWorkHere())
        co_return work();
    // The work is a parameter of the spawned coroutine, so it lives in that coroutine's frame.
    // Once started it runs to its end: a cancellation is left for the caller's next wait.
    auto perform = [](Work work) -> Awaitable<Result> { co_return work(); };
    co_return co_await awaitOnUncancellable(executor, perform(std::move(work)));
}

} // namespace pennial
