#include "platform/linux/atspi/key_settle.hpp"

namespace pennial {

bool KeySettle::mayKeep(std::uint64_t keyPresses, Clock::time_point now) {
    if (keyPresses > keyPresses_) {
        keyPresses_ = keyPresses;
        lastKey_ = now;
    }
    return keyPresses_ == 0 || now - lastKey_ >= window;
}

} // namespace pennial
