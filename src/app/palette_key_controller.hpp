#pragma once
// The palette's hold on the keyboard while it is shown: the six keys taken from the focused
// application and handed to the coordinator, or, where the platform cannot take them, only
// observed (the application then gets them too). Main executor only.

#include "platform/keyboard.hpp"

#include <functional>
#include <memory>

namespace pennial {

class PaletteKeyController {
public:
    // unseen: neither taken nor observed; the palette answers the mouse alone.
    enum class State { idle, intercepting, observing, unseen };

    // Without an interceptor the keys are never seen: the palette works with the mouse alone.
    explicit PaletteKeyController(std::shared_ptr<PaletteKeyInterceptor> interceptor);
    ~PaletteKeyController();
    PaletteKeyController(const PaletteKeyController&) = delete;
    PaletteKeyController& operator=(const PaletteKeyController&) = delete;

    // Takes (or observes) the keys and sends their key-downs to onKeyDown; when already started,
    // only the callback changes.
    void start(std::function<void(PaletteKey)> onKeyDown);
    // Gives the keys back and drops the callback.
    void stop();
    State state() const { return state_; }

private:
    void keyDown(PaletteKey key);

    std::shared_ptr<PaletteKeyInterceptor> interceptor_;
    std::function<void(PaletteKey)> onKeyDown_;
    State state_ = State::idle;
    bool hasLoggedKeyIntercept_ = false;
};

} // namespace pennial
