#pragma once
// Which application's window is active, as the applications themselves report it on the
// accessibility bus ("window:activate"). Where the window manager cannot say (under a Wayland
// compositor, whose Xwayland sees only X clients), it is the only account there is. Accessibility
// thread only.

#include "platform/accessibility.hpp"

#include <functional>
#include <memory>

typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;

namespace pennial {

class AtspiWindowActivations : public std::enable_shared_from_this<AtspiWindowActivations> {
public:
    using Activated = std::function<void(Pid)>;

    // activated runs on the accessibility thread with the process of each window reported active,
    // and once at start for the window found active then, if any.
    static std::shared_ptr<AtspiWindowActivations> start(Activated activated);
    ~AtspiWindowActivations();
    AtspiWindowActivations(const AtspiWindowActivations&) = delete;
    AtspiWindowActivations& operator=(const AtspiWindowActivations&) = delete;

private:
    explicit AtspiWindowActivations(Activated activated);
    static void onEvent(AtspiEvent* event, void* self);
    void findActive();

    Activated activated_;
    AtspiEventListener* listener_ = nullptr;
};

} // namespace pennial
