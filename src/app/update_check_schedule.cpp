#include "app/update_check_schedule.hpp"

#include <string>

namespace pennial {

UpdateCheckSchedule::UpdateCheckSchedule(std::shared_ptr<UserDefaults> defaults)
    : defaults_(std::move(defaults)) {}

bool UpdateCheckSchedule::claimStartupCheck(std::chrono::system_clock::time_point now) {
    using std::chrono::seconds;
    const auto nowSeconds = std::chrono::duration_cast<seconds>(now.time_since_epoch()).count();
    if (auto stored = defaults_->stringForKey(lastCheckKey)) {
        try {
            const auto last = std::stoll(*stored);
            const auto since = nowSeconds - last;
            if (since >= 0 && since < std::chrono::duration_cast<seconds>(interval).count())
                return false;
        } catch (const std::exception&) {
            // An unreadable time counts as none.
        }
    }
    defaults_->setString(lastCheckKey, std::to_string(nowSeconds));
    return true;
}

} // namespace pennial
