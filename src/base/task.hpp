#pragma once
// A spawned coroutine that can be cancelled, and waits that tell cancellation from completion.

#include "base/runtime.hpp"

#include <asio/cancellation_signal.hpp>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>

namespace pennial {

// Cancellation reaches a task's body as asio::error::operation_aborted; it is its own outcome.
bool isCancellation(std::exception_ptr error);

class Task {
public:
    using Completion = std::function<void(std::exception_ptr)>;

    Task() = default;
    // Starts body on executor. onDone runs there with the body's exception (null on success).
    static Task spawn(Executor executor, Awaitable<void> body, Completion onDone = {});

    // Asks the task to stop; safe from any thread and after it has finished.
    void cancel() const;
    bool isRunning() const;
    explicit operator bool() const { return state_ != nullptr; }

private:
    struct State;
    std::shared_ptr<State> state_;
};

enum class SleepResult { elapsed, cancelled };

// Waits on the calling coroutine's executor and answers a cancellation that arrives during the
// wait. (As with any co_await, awaiting it after the coroutine was cancelled throws
// operation_aborted.)
Awaitable<SleepResult> sleepFor(std::chrono::steady_clock::duration duration);

// Throws operation_aborted when the calling coroutine has been asked to stop.
Awaitable<void> throwIfCancelled();

} // namespace pennial
