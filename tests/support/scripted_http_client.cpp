#include "support/scripted_http_client.hpp"

#include "base/task.hpp"

#include <asio/bind_cancellation_slot.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>

namespace pennial::testing {
namespace {

using namespace std::chrono_literals;

Awaitable<void> waitUntilOpen(const ScriptedHttpClient::Gate& gate) {
    if (gate.ignoresCancellation())
        co_await asio::this_coro::throw_if_cancelled(false);
    auto executor = co_await asio::this_coro::executor;
    while (!gate.isOpen()) {
        asio::steady_timer timer(executor, 1ms);
        if (gate.ignoresCancellation())
            co_await timer.async_wait(
                asio::bind_cancellation_slot(asio::cancellation_slot(), asio::use_awaitable));
        else
            co_await timer.async_wait(asio::use_awaitable);
    }
}

} // namespace

ScriptedHttpClient::Reply ScriptedHttpClient::body(std::string body,
                                                   std::chrono::milliseconds delay) {
    return {[body = std::move(body)] { return body; }, delay, nullptr};
}

ScriptedHttpClient::Reply ScriptedHttpClient::error(HTTPError error,
                                                    std::chrono::milliseconds delay) {
    return {[error = std::move(error)]() -> std::string { throw error; }, delay, nullptr};
}

ScriptedHttpClient::Reply ScriptedHttpClient::failure(std::exception_ptr error) {
    return {[error]() -> std::string { std::rethrow_exception(error); }, {}, nullptr};
}

ScriptedHttpClient::Reply ScriptedHttpClient::gated(std::shared_ptr<Gate> gate, Reply reply) {
    reply.gate = std::move(gate);
    return reply;
}

void ScriptedHttpClient::enqueue(Reply reply) {
    std::lock_guard lock(mutex_);
    replies_.push_back(std::move(reply));
}

void ScriptedHttpClient::enqueue(std::vector<Reply> replies) {
    for (auto& reply : replies)
        enqueue(std::move(reply));
}

Awaitable<std::string> ScriptedHttpClient::execute(HTTPRequest request) {
    std::optional<Reply> reply;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        arrivals_.push_back(std::chrono::steady_clock::now());
        if (!replies_.empty()) {
            reply = std::move(replies_.front());
            replies_.pop_front();
        }
    }
    if (!reply)
        throw HTTPError::networkError("no scripted reply for " + request.url);
    if (reply->gate)
        co_await waitUntilOpen(*reply->gate);
    if (reply->delay.count() > 0) {
        asio::steady_timer timer(co_await asio::this_coro::executor, reply->delay);
        co_await timer.async_wait(asio::use_awaitable); // cancellation throws, as a real client's
    }
    co_return reply->outcome();
}

std::vector<HTTPRequest> ScriptedHttpClient::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::chrono::steady_clock::time_point> ScriptedHttpClient::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

std::size_t ScriptedHttpClient::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

} // namespace pennial::testing
