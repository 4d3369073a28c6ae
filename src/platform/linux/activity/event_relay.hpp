#pragma once
// Carries events from a reading thread to a handler on the main executor. Once closed, nothing more
// reaches the handler, not even events already on their way.

#include "base/runtime.hpp"

#include <asio/post.hpp>
#include <functional>
#include <memory>
#include <utility>

namespace pennial {

template <class Event> class EventRelay {
public:
    using Handler = std::function<void(const Event&)>;

    EventRelay(Executor main, Handler handler)
        : main_(std::move(main)), state_(std::make_shared<State>(std::move(handler))) {}

    // Any thread.
    void post(Event event) const {
        asio::post(main_, [state = state_, event = std::move(event)] { state->deliver(event); });
    }
    // Main thread only, as are the two below.
    void deliver(const Event& event) const { state_->deliver(event); }
    void setHandler(Handler handler) const { state_->handler = std::move(handler); }
    void close() const { state_->handler = nullptr; }

private:
    struct State {
        explicit State(Handler h) : handler(std::move(h)) {}
        void deliver(const Event& event) const {
            // A copy: the handler may close the relay (drop itself) while it runs.
            if (Handler current = handler)
                current(event);
        }
        Handler handler;
    };

    Executor main_;
    std::shared_ptr<State> state_;
};

} // namespace pennial
