#pragma once
// The element that last took keyboard focus, as the applications report it on the accessibility
// bus ("object:state-changed:focused" with detail 1), kept until another takes focus or it goes
// defunct. Asking the applications instead means walking whole trees. Reports that our own key
// grab caused are not the user's focus and are passed over. Accessibility thread only.

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;

#include <chrono>
#include <cstdint>
#include <functional>

namespace pennial {

class AtspiFocusTracker {
public:
    // changed runs whenever the focused element changes (on the accessibility thread, asking
    // nothing of the bus).
    explicit AtspiFocusTracker(std::function<void()> changed = {});
    ~AtspiFocusTracker();
    AtspiFocusTracker(const AtspiFocusTracker&) = delete;
    AtspiFocusTracker& operator=(const AtspiFocusTracker&) = delete;

    // The focused element while it lives (borrowed: the tracker keeps the reference); null when
    // none was reported or it is gone.
    AtspiAccessible* focused();
    // When focus was last reported.
    std::chrono::steady_clock::time_point focusedAt() const { return focusedAt_; }
    // Takes an element found focused some other way as if its focus had been reported now.
    void adopt(AtspiAccessible* accessible);
    // Counts the focus reports taken: what was worked out from one report stays good until the
    // next.
    std::uint64_t reports() const { return reports_; }

private:
    static void onEvent(AtspiEvent* event, void* self);
    void take(AtspiAccessible* accessible);

    std::function<void()> changed_;
    AtspiEventListener* listener_ = nullptr;
    AtspiAccessible* focused_ = nullptr;
    std::chrono::steady_clock::time_point focusedAt_;
    std::uint64_t reports_ = 0;
};

} // namespace pennial
