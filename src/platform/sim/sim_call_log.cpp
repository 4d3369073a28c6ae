#include "platform/sim/sim_call_log.hpp"

#include <algorithm>

namespace pennial {

void SimCallLog::record(SimCall call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<SimCall> SimCallLog::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<SimCall> SimCallLog::calls(const std::function<bool(const SimCall&)>& matching) const {
    std::lock_guard lock(mutex_);
    std::vector<SimCall> found;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(found), matching);
    return found;
}

std::size_t SimCallLog::count(SimCallKind kind) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        calls_.begin(), calls_.end(), [kind](const SimCall& call) { return call.kind == kind; }));
}

std::size_t SimCallLog::readCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [](const SimCall& c) { return c.isRead(); }));
}

void SimCallLog::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

} // namespace pennial
