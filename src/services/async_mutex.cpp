#include "services/async_mutex.hpp"

#include <algorithm>
#include <asio/redirect_error.hpp>
#include <asio/this_coro.hpp>
#include <system_error>

namespace pennial {

Awaitable<AsyncMutex::Guard> AsyncMutex::lock() {
    if (!locked_) {
        locked_ = true;
        co_return Guard(this);
    }
    Waiter waiter(co_await asio::this_coro::executor);
    waiters_.push_back(&waiter);
    std::error_code woken; // unlock() wakes the waiter by cancelling its timer
    co_await waiter.timer.async_wait(asio::redirect_error(asio::use_awaitable, woken));
    if (!waiter.granted) {
        std::erase(waiters_, &waiter);
        throw std::system_error(asio::error::operation_aborted);
    }
    co_return Guard(this);
}

void AsyncMutex::unlock() {
    if (waiters_.empty()) {
        locked_ = false;
        return;
    }
    // Ownership passes straight to the next waiter, so nobody can slip in between.
    Waiter* next = waiters_.front();
    waiters_.pop_front();
    next->granted = true;
    next->timer.cancel();
}

} // namespace pennial
