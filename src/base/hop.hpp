#pragma once
// Awaiting a coroutine that runs on another executor (an actor's strand, a pool), with the
// caller's cancellation delivered on that executor.
//
// asio's co_spawn forwards the awaiting coroutine's cancellation into the spawned one on the
// thread that emits it. Across executors that calls the spawned coroutine's current cancellation
// handler (a timer's, an HTTP transfer's) from another thread, while its own thread may be
// completing the operation and clearing the handler: a call into a destroyed handler. Here the
// emission is posted to the spawned coroutine's executor instead, and the caller's slot is cleared
// on the caller's executor before it resumes.

#include <asio/any_io_executor.hpp>
#include <asio/associated_cancellation_slot.hpp>
#include <asio/associated_executor.hpp>
#include <asio/async_result.hpp>
#include <asio/awaitable.hpp>
#include <asio/bind_cancellation_slot.hpp>
#include <asio/bind_executor.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/co_spawn.hpp>
#include <asio/post.hpp>
#include <asio/use_awaitable.hpp>
#include <atomic>
#include <exception>
#include <memory>
#include <type_traits>

namespace pennial {

namespace detail {

// The spawned coroutine's cancellation signal; lives until the last posted emission has run.
struct HopCancellation : std::enable_shared_from_this<HopCancellation> {
    explicit HopCancellation(asio::any_io_executor ex) : executor(std::move(ex)) {}

    void forward(asio::cancellation_type type) {
        if (type == asio::cancellation_type::none)
            return;
        asio::post(executor, [self = shared_from_this(), type] {
            if (!self->finished)
                self->signal.emit(type);
        });
    }

    asio::any_io_executor executor;
    asio::cancellation_signal signal; // emitted only on executor
    std::atomic<bool> finished{false};
};

enum class HopCancel { forwarded, ignored };

template <class T> struct HopSignatureOf { using type = void(std::exception_ptr, T); };
template <> struct HopSignatureOf<void> { using type = void(std::exception_ptr); };
template <class T> using HopSignature = typename HopSignatureOf<T>::type;

// A coroutine, so that the initiation's references to its arguments stay valid while it runs.
template <class T>
asio::awaitable<T> hopTo(asio::any_io_executor executor, asio::awaitable<T> body,
                         HopCancel cancel) {
    auto initiation = [&](auto handler) {
        auto state = std::make_shared<HopCancellation>(executor);
        auto callerSlot = asio::get_associated_cancellation_slot(handler);
        if (cancel == HopCancel::forwarded && callerSlot.is_connected())
            callerSlot.assign([state](asio::cancellation_type type) { state->forward(type); });
        auto callerExecutor = asio::get_associated_executor(handler);
        auto resume = [state, handler = std::move(handler)](std::exception_ptr error,
                                                            auto&&... value) mutable {
            // On the caller's executor: the caller's slot is its to clear.
            state->finished = true;
            asio::get_associated_cancellation_slot(handler).clear();
            std::move(handler)(error, std::forward<decltype(value)>(value)...);
        };
        asio::co_spawn(
            executor, std::move(body),
            asio::bind_cancellation_slot(state->signal.slot(),
                                         asio::bind_executor(callerExecutor, std::move(resume))));
    };
    if constexpr (std::is_void_v<T>)
        co_await asio::async_initiate<decltype(asio::use_awaitable), HopSignature<T>>(
            initiation, asio::use_awaitable);
    else
        co_return co_await asio::async_initiate<decltype(asio::use_awaitable), HopSignature<T>>(
            initiation, asio::use_awaitable);
}

} // namespace detail

// Runs body on executor and resumes the caller on its own; a cancellation of the caller reaches
// body on executor.
template <class T>
asio::awaitable<T> awaitOn(asio::any_io_executor executor, asio::awaitable<T> body) {
    return detail::hopTo(std::move(executor), std::move(body), detail::HopCancel::forwarded);
}

// As awaitOn, for work that cannot be stopped once started: the caller's cancellation is not
// passed on (on a pool it could only race with the work's own thread).
template <class T>
asio::awaitable<T> awaitOnUncancellable(asio::any_io_executor executor, asio::awaitable<T> body) {
    return detail::hopTo(std::move(executor), std::move(body), detail::HopCancel::ignored);
}

} // namespace pennial
