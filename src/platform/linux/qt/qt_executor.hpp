#pragma once
// The application's main executor: work posted to it runs in the Qt event loop on the GUI thread,
// so coroutines, timers and handlers share the thread the windows live on.

#include <QMetaObject>
#include <QObject>
#include <asio/execution.hpp>
#include <asio/execution_context.hpp>
#include <memory>
#include <utility>

namespace pennial {

class QtExecutor;

// Owns the receiver that queued work is delivered to, and the services (timers) bound to it.
// Create it on the GUI thread after the application object, destroy it before.
class QtExecutionContext : public asio::execution_context {
public:
    QtExecutionContext();
    ~QtExecutionContext();
    QtExecutionContext(const QtExecutionContext&) = delete;
    QtExecutionContext& operator=(const QtExecutionContext&) = delete;

    QtExecutor get_executor() noexcept;
    // Null once closed.
    QObject* receiver() const noexcept { return receiver_.get(); }

    // Drops the queued work and ends the services; work handed over later is dropped at once.
    // Quitting closes it before the pools the dropped work may hold go.
    void close();

private:
    std::unique_ptr<QObject> receiver_;
};

// Never runs work inline: every function is queued behind what the event loop already holds.
class QtExecutor {
public:
    explicit QtExecutor(QtExecutionContext& context) noexcept : context_(&context) {}

    QtExecutionContext& query(asio::execution::context_t) const noexcept { return *context_; }
    static constexpr asio::execution::blocking_t query(asio::execution::blocking_t) noexcept {
        return asio::execution::blocking.never;
    }
    QtExecutor require(asio::execution::blocking_t::never_t) const noexcept { return *this; }

    template <class Function> void execute(Function function) const {
        // Closed: the function is destroyed on leaving, here, as the event loop would never run it.
        if (auto* receiver = context_->receiver())
            QMetaObject::invokeMethod(
                receiver, [f = std::move(function)]() mutable { std::move(f)(); },
                Qt::QueuedConnection);
    }

    friend bool operator==(const QtExecutor& a, const QtExecutor& b) noexcept {
        return a.context_ == b.context_;
    }
    friend bool operator!=(const QtExecutor& a, const QtExecutor& b) noexcept { return !(a == b); }

private:
    QtExecutionContext* context_;
};

} // namespace pennial
