#pragma once
// Whether a field's text kept from an earlier read may stand for its text now, as far as key
// presses go. A key press may be seen here before the field's application has taken it, so a
// text read or confirmed just after it may still be the text from before it; and when several
// keys are on their way, a change seen says nothing of the last one. So for a short while after
// each key press no kept text is handed out and the field itself is read. Owned by one thread.

#include <chrono>
#include <cstdint>

namespace pennial {

class KeySettle {
public:
    using Clock = std::chrono::steady_clock;
    // Long enough for a busy application to take a key; it costs only reads of the field while
    // the user types and just after.
    static constexpr std::chrono::milliseconds window{1000};

    // Whether a kept text may be handed out, keyPresses being the count of key presses so far.
    bool mayKeep(std::uint64_t keyPresses, Clock::time_point now);

private:
    std::uint64_t keyPresses_ = 0;
    Clock::time_point lastKey_;
};

} // namespace pennial
