#pragma once
// The palette's keys on the simulated desktop: the test presses them here and says whether the
// platform can take them (intercepting), only watch them (observing) or neither (unavailable).
// Main thread only.

#include "base/runtime.hpp"
#include "platform/keyboard.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

class SimPaletteKeyInterceptor final : public PaletteKeyInterceptor {
public:
    explicit SimPaletteKeyInterceptor(Executor mainExecutor);

    // A second start while started only replaces the handler and answers the same mode.
    Mode start(std::function<void(PaletteKey)> onKeyDown) override;
    void stop() override;

    // What the next start from stopped answers; intercepting at first.
    void setMode(Mode mode) { nextMode_ = mode; }

    // A key-down of one of the six keys: it reaches the handler on the main executor while
    // intercepting or observing. Answers whether the focused application is kept from seeing it
    // (intercepting, and the key is wanted).
    bool press(PaletteKey key);

    // The mode between start and stop; none while stopped.
    std::optional<Mode> activeMode() const { return activeMode_; }
    // "start" and "stop", in order.
    const std::vector<std::string>& calls() const { return calls_; }

private:
    using Handler = std::function<void(PaletteKey)>;

    Executor main_;
    Mode nextMode_ = Mode::intercepting;
    std::optional<Mode> activeMode_;
    // Shared with the key-downs on their way, which find it empty once stopped.
    std::shared_ptr<Handler> handler_;
    std::vector<std::string> calls_;
};

} // namespace pennial
