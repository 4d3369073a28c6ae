#pragma once
// The playful words the card shows while a command runs, and the cycle that changes them.

#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace pennial {

// The table, in order; a word listed twice is twice as likely.
std::span<const std::string_view> statusVerbs();
// One entry drawn uniformly by index; it may be the word already shown.
std::string nextVerb();

// Writes a fresh word every interval until stopped. Main thread only; once stopped (or replaced,
// or destroyed) it writes nothing more.
class StatusVerbCycle {
public:
    using VerbHandler = std::function<void(std::string verb)>;
    static constexpr std::chrono::milliseconds defaultInterval{1400};

    explicit StatusVerbCycle(VerbHandler onVerb,
                             std::chrono::milliseconds interval = defaultInterval);

    // Starts a new cycle in place of a running one; the first change comes one interval later.
    void start();
    void stop();
    bool isRunning() const { return timer_ != nullptr; }

private:
    VerbHandler onVerb_;
    std::chrono::milliseconds interval_;
    std::unique_ptr<QTimer> timer_;
};

} // namespace pennial
