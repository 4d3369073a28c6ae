#pragma once
// "Something changed": observers connect a callback and stay connected while they keep the
// connection. Used on the main executor only; callbacks may connect and disconnect while notified.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace pennial {

class ChangeSignal {
public:
    using Callback = std::function<void()>;

    class Connection {
    public:
        Connection() = default;
        ~Connection() { disconnect(); }
        Connection(Connection&& other) noexcept;
        Connection& operator=(Connection&& other) noexcept;
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;

        void disconnect();
        bool connected() const;

    private:
        friend class ChangeSignal;
        struct Slots;
        Connection(std::weak_ptr<Slots> slots, std::uint64_t id);
        std::weak_ptr<Slots> slots_;
        std::uint64_t id_ = 0;
    };

    ChangeSignal();

    [[nodiscard]] Connection connect(Callback callback);
    void notify() const;

private:
    std::shared_ptr<Connection::Slots> slots_;
};

// A value whose changes are announced; an update that leaves it equal announces nothing.
template <class T> class Observable {
public:
    explicit Observable(T initial = {}) : value_(std::move(initial)) {}

    const T& get() const { return value_; }
    const T* operator->() const { return &value_; }

    template <class Change> void update(Change&& change) {
        T next = value_;
        change(next);
        if (next == value_)
            return;
        value_ = std::move(next);
        changed_.notify();
    }

    ChangeSignal& changed() { return changed_; }

private:
    T value_;
    ChangeSignal changed_;
};

} // namespace pennial
