#pragma once
// The element that last took keyboard focus, as the applications report it on the accessibility
// bus ("object:state-changed:focused" with detail 1), kept until another takes focus or it goes
// defunct. Asking the applications instead means walking whole trees. Accessibility thread only.

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;

#include <chrono>

namespace pennial {

class AtspiFocusTracker {
public:
    AtspiFocusTracker();
    ~AtspiFocusTracker();
    AtspiFocusTracker(const AtspiFocusTracker&) = delete;
    AtspiFocusTracker& operator=(const AtspiFocusTracker&) = delete;

    // The focused element while it lives (borrowed: the tracker keeps the reference); null when
    // none was reported or it is gone.
    AtspiAccessible* focused();
    // When focus was last reported.
    std::chrono::steady_clock::time_point focusedAt() const { return focusedAt_; }

private:
    static void onEvent(AtspiEvent* event, void* self);
    void take(AtspiAccessible* accessible);

    AtspiEventListener* listener_ = nullptr;
    AtspiAccessible* focused_ = nullptr;
    std::chrono::steady_clock::time_point focusedAt_;
};

} // namespace pennial
