#pragma once
// A completion handler held by code that finishes the operation on a thread of its own (a transfer
// worker, a ticking thread): completing posts it to the handler's own executor, which is kept from
// running out of work until then, and clears the caller's cancellation slot there before the
// handler runs.

#include <asio/associated_cancellation_slot.hpp>
#include <asio/associated_executor.hpp>
#include <asio/execution/outstanding_work.hpp>
#include <asio/post.hpp>
#include <asio/prefer.hpp>
#include <memory>
#include <utility>

namespace pennial {

template <class... Args> class PostedCompletion {
public:
    virtual ~PostedCompletion() = default;
    // Once only.
    virtual void complete(Args... args) = 0;
};

template <class Handler, class... Args>
class PostedCompletionFor final : public PostedCompletion<Args...> {
public:
    explicit PostedCompletionFor(Handler handler)
        : handler_(std::move(handler)),
          work_(asio::prefer(asio::get_associated_executor(handler_),
                             asio::execution::outstanding_work.tracked)) {}

    void complete(Args... args) override {
        auto work = work_;
        asio::post(work, [handler = std::move(handler_), ... args = std::move(args)]() mutable {
            // The slot belongs to the handler's executor: cleared there, before resuming.
            asio::get_associated_cancellation_slot(handler).clear();
            std::move(handler)(std::move(args)...);
        });
    }

private:
    Handler handler_;
    decltype(asio::prefer(std::declval<asio::associated_executor_t<Handler>>(),
                          asio::execution::outstanding_work.tracked)) work_;
};

template <class... Args, class Handler>
std::unique_ptr<PostedCompletion<Args...>> postedCompletion(Handler handler) {
    return std::make_unique<PostedCompletionFor<Handler, Args...>>(std::move(handler));
}

} // namespace pennial
