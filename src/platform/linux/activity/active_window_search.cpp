#include "platform/linux/activity/active_window_search.hpp"

#include <utility>

namespace pennial {

std::optional<ActiveWindowSearch::Clock::time_point>
ActiveWindowSearch::noteActivity(Pid pid, Clock::time_point now,
                                 const std::function<bool()>& hasActiveWindow) {
    if (hooks_.knownActive && hooks_.knownActive() == pid)
        return std::nullopt;
    if (auto last = searched_.find(pid);
        last != searched_.end() && now - last->second.at < searchInterval) {
        if (std::exchange(last->second.followUpAsked, true))
            return std::nullopt;
        return last->second.at + searchInterval;
    }
    // Only searches still inside their interval are kept: the map stays as small as the number
    // of applications busy at once.
    std::erase_if(searched_,
                  [&](const auto& entry) { return now - entry.second.at >= searchInterval; });
    searched_[pid] = {now};
    if (hasActiveWindow() && hooks_.activated)
        hooks_.activated(pid);
    return std::nullopt;
}

} // namespace pennial
