#pragma once
// Where applications may become active without saying so (a GTK 4 window under a Wayland
// compositor ends in the ACTIVE state but sends no activation event), what they do say fills the
// gap: an application that changes text, moves a caret or takes focus while another is known as
// frontmost is searched for an active window, and reported active when it has one. A busy
// application in the background is searched at most once an interval. One thread only.

#include "platform/accessibility.hpp"

#include <chrono>
#include <functional>
#include <map>
#include <optional>

namespace pennial {

class ActiveWindowSearch {
public:
    using Clock = std::chrono::steady_clock;

    // The least time between two searches of one application.
    static constexpr std::chrono::milliseconds searchInterval{500};

    struct Hooks {
        // The process known to own the active window, if any.
        std::function<std::optional<Pid>()> knownActive;
        // Told each process found with an active window.
        std::function<void(Pid)> activated;
    };

    explicit ActiveWindowSearch(Hooks hooks) : hooks_(std::move(hooks)) {}

    // The process did something only a window the user works in does, at now; hasActiveWindow
    // searches it (a call to the application) and runs only when a search is due. When the
    // activity comes too soon after the last search, the time one is due, once per search: noted
    // again then, the end of a burst (the trigger the user typed last) is looked at too.
    std::optional<Clock::time_point> noteActivity(Pid pid, Clock::time_point now,
                                                  const std::function<bool()>& hasActiveWindow);

private:
    struct Searched {
        Clock::time_point at;
        bool followUpAsked = false;
    };

    Hooks hooks_;
    std::map<Pid, Searched> searched_;
};

} // namespace pennial
