#include "app/change_signal.hpp"

#include <utility>
#include <vector>

namespace pennial {

struct ChangeSignal::Connection::Slots {
    std::map<std::uint64_t, std::shared_ptr<Callback>> callbacks;
    std::uint64_t nextId = 1;
};

ChangeSignal::Connection::Connection(std::weak_ptr<Slots> slots, std::uint64_t id)
    : slots_(std::move(slots)), id_(id) {}

ChangeSignal::Connection::Connection(Connection&& other) noexcept
    : slots_(std::move(other.slots_)), id_(std::exchange(other.id_, 0)) {}

ChangeSignal::Connection& ChangeSignal::Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        disconnect();
        slots_ = std::move(other.slots_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void ChangeSignal::Connection::disconnect() {
    if (auto slots = slots_.lock())
        slots->callbacks.erase(id_);
    slots_.reset();
    id_ = 0;
}

bool ChangeSignal::Connection::connected() const {
    auto slots = slots_.lock();
    return slots && slots->callbacks.contains(id_);
}

ChangeSignal::ChangeSignal() : slots_(std::make_shared<Connection::Slots>()) {}

ChangeSignal::Connection ChangeSignal::connect(Callback callback) {
    auto id = slots_->nextId++;
    slots_->callbacks.emplace(id, std::make_shared<Callback>(std::move(callback)));
    return Connection(slots_, id);
}

void ChangeSignal::notify() const {
    // A callback may disconnect itself or others; those not yet called are then skipped.
    auto slots = slots_;
    std::vector<std::pair<std::uint64_t, std::weak_ptr<Callback>>> snapshot;
    for (const auto& [id, callback] : slots->callbacks)
        snapshot.emplace_back(id, callback);
    for (const auto& [id, weak] : snapshot) {
        if (!slots->callbacks.contains(id))
            continue;
        if (auto callback = weak.lock(); callback && *callback)
            (*callback)();
    }
}

} // namespace pennial
