#pragma once
// The workspace: which application is frontmost, this application's own windows, application
// activations, and opening addresses in the user's default handler.

#include "base/runtime.hpp"
#include "platform/accessibility.hpp"
#include "platform/subscription.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

struct RunningApplication {
    Pid processIdentifier = 0;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
    bool operator==(const RunningApplication&) const = default;
};

// One of this application's own windows.
struct OwnWindow {
    std::string identifier; // "settings", "about", "onboarding", ...
    bool isVisible = false; // at least partly visible on screen
    bool operator==(const OwnWindow&) const = default;
};

class Workspace {
public:
    using ActivationHandler = std::function<void(const RunningApplication&)>;

    virtual ~Workspace() = default;

    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    virtual Pid currentProcessId() = 0;
    // In the window system's order.
    virtual std::vector<OwnWindow> ownWindows() = 0;
    // Calls handler on executor each time another application becomes active, until the
    // subscription is dropped.
    virtual Subscription observeApplicationActivation(Executor executor,
                                                      ActivationHandler handler) = 0;
    // Hands the address to the desktop's default handler (browser, mail, settings); false when
    // nothing took it.
    virtual bool openURL(const std::string& url) = 0;
};

} // namespace pennial
