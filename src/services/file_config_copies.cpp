// Copies of the configuration file kept aside before a change that drops part of it, so that a
// sync that replaces the user's commands never loses them for good.

#include "base/log.hpp"
#include "services/file_config_storage.hpp"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fmt/chrono.h>
#include <vector>

namespace pennial {
namespace {

namespace fs = std::filesystem;

// Keeps the copy just made and the newest of the others, keep in all. A copy named after a time
// later than now comes from a clock that ran ahead: it counts as older than any other.
void removeAllButNewest(const fs::path& folder, const std::string& prefix, const fs::path& made,
                        const std::string& now, int keep) {
    std::error_code error;
    std::vector<fs::path> others;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with(prefix) && entry.path() != made)
            others.push_back(entry.path());
    if (static_cast<int>(others.size()) < keep)
        return;
    auto aheadOfNow = [&](const fs::path& copy) {
        return copy.filename().string().substr(prefix.size(), now.size()) > now;
    };
    // The timestamp in the name sorts as the time does.
    std::sort(others.begin(), others.end(), [&](const fs::path& x, const fs::path& y) {
        const bool xAhead = aheadOfNow(x), yAhead = aheadOfNow(y);
        return xAhead != yAhead ? xAhead : x < y;
    });
    for (std::size_t i = 0; i + static_cast<std::size_t>(keep) <= others.size(); ++i)
        fs::remove(others[i], error);
}

} // namespace

void FileConfigStorage::keepCopyAside(std::string_view why) {
    std::error_code error;
    if (!fs::exists(fileURL_, error))
        return;
    const auto prefix = fileURL_.filename().string() + "." + std::string(why) + "-";
    const auto stamp = fmt::format("{:%Y%m%d-%H%M%S}", fmt::gmtime(std::time(nullptr)));
    // After the copies of this second already kept, so that the names keep sorting as the
    // times do once older ones are removed.
    int next = 0;
    for (const auto& entry : fs::directory_iterator(fileURL_.parent_path(), error)) {
        const auto name = entry.path().filename().string();
        if (!name.starts_with(prefix + stamp))
            continue;
        const auto rest = name.substr(prefix.size() + stamp.size());
        next = std::max(next, rest.empty() ? 1 : std::atoi(rest.c_str() + 1) + 1);
    }
    auto name = prefix + stamp;
    if (next > 0)
        name += fmt::format("-{:02}", next);
    const auto copy = fileURL_.parent_path() / name;
    if (!fs::copy_file(fileURL_, copy, error)) {
        logf("⚠️ [FileConfigStorage] Could not keep a copy of the configuration: {}",
             error.message());
        return;
    }
    // The user's commands and profile: private, whatever the file's own mode.
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, error);
    logf("🔍 [FileConfigStorage] Kept the replaced configuration as {}", name);
    removeAllButNewest(fileURL_.parent_path(), prefix, copy, stamp, keptCopies);
}

} // namespace pennial
