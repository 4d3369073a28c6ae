#pragma once
// Every call made on the simulated desktop, in order, with the thread that made it: tests read
// which attributes were touched, through which element, with what time-out, and from where.

#include "platform/accessibility.hpp"

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pennial {

enum class SimCallKind {
    trustCheck,
    copyAttribute,
    copyAttributes,
    copyParameterized,
    setAttribute,
    setMessagingTimeout,
    processId,
    frontmostApplication,
    ownWindows,
    openURL,
    screens,
};

struct SimCall {
    SimCallKind kind = SimCallKind::copyAttribute;
    std::string element;   // the element's name; empty for calls on no element
    std::string attribute; // several attributes are joined with ","
    // The time-out set on the reference the call went through (for a set, the new one).
    std::optional<std::chrono::duration<double>> timeout;
    AXError result = AXError::success;
    std::thread::id thread = std::this_thread::get_id();

    static SimCall of(SimCallKind kind, std::string element = {}, std::string attribute = {}) {
        SimCall call;
        call.kind = kind;
        call.element = std::move(element);
        call.attribute = std::move(attribute);
        return call;
    }

    // Reads of the target application's tree.
    bool isRead() const {
        return kind == SimCallKind::copyAttribute || kind == SimCallKind::copyAttributes ||
               kind == SimCallKind::copyParameterized;
    }
};

class SimCallLog {
public:
    void record(SimCall call);
    std::vector<SimCall> calls() const;
    std::vector<SimCall> calls(const std::function<bool(const SimCall&)>& matching) const;
    std::size_t count(SimCallKind kind) const;
    std::size_t readCount() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<SimCall> calls_;
};

} // namespace pennial
