#include "base/task.hpp"

#include <asio/bind_cancellation_slot.hpp>
#include <asio/post.hpp>
#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <atomic>
#include <system_error>

namespace pennial {

bool isCancellation(std::exception_ptr error) {
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const std::system_error& e) {
        return e.code() == asio::error::operation_aborted;
    } catch (...) {
        return false;
    }
}

struct Task::State {
    explicit State(Executor ex) : executor(std::move(ex)) {}
    Executor executor;
    asio::cancellation_signal signal; // touched only on executor
    std::atomic<bool> running{true};
};

Task Task::spawn(Executor executor, Awaitable<void> body, Completion onDone) {
    Task task;
    task.state_ = std::make_shared<State>(executor);
    auto state = task.state_;
    asio::co_spawn(
        executor, std::move(body),
        asio::bind_cancellation_slot(state->signal.slot(),
                                     [state, onDone = std::move(onDone)](std::exception_ptr error) {
                                         state->running = false;
                                         if (onDone)
                                             onDone(error);
                                     }));
    return task;
}

void Task::cancel() const {
    if (!state_ || !state_->running)
        return;
    // The signal is not thread-safe: emit it on the task's own executor.
    asio::post(state_->executor, [state = state_] {
        if (state->running)
            state->signal.emit(asio::cancellation_type::all);
    });
}

bool Task::isRunning() const {
    return state_ && state_->running;
}

Awaitable<SleepResult> sleepFor(std::chrono::steady_clock::duration duration) {
    auto executor = co_await asio::this_coro::executor;
    auto state = co_await asio::this_coro::cancellation_state;
    if (state.cancelled() != asio::cancellation_type::none)
        co_return SleepResult::cancelled;
    asio::steady_timer timer(executor, duration);
    std::error_code error;
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, error));
    co_return error ? SleepResult::cancelled : SleepResult::elapsed;
}

Awaitable<void> throwIfCancelled() {
    auto state = co_await asio::this_coro::cancellation_state;
    if (state.cancelled() != asio::cancellation_type::none)
        throw std::system_error(asio::error::operation_aborted);
}

} // namespace pennial
