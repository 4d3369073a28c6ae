#pragma once
// The start-up's update check runs at most once a day: the time of the last one is kept in the
// user defaults. A check the user asks for always runs.

#include "platform/user_defaults.hpp"

#include <chrono>
#include <memory>

namespace pennial {

class UpdateCheckSchedule {
public:
    static constexpr const char* lastCheckKey = "lastUpdateCheck";
    static constexpr std::chrono::hours interval{24};

    explicit UpdateCheckSchedule(std::shared_ptr<UserDefaults> defaults);

    // True when no check ran in the last day (or the clock was set back past the last one);
    // records now as the last check when it answers true.
    bool
    claimStartupCheck(std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

private:
    std::shared_ptr<UserDefaults> defaults_;
};

} // namespace pennial
