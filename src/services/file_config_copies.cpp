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

void removeAllButNewest(const fs::path& folder, const std::string& prefix, int keep) {
    std::error_code error;
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with(prefix))
            copies.push_back(entry.path());
    if (static_cast<int>(copies.size()) <= keep)
        return;
    // The timestamp in the name sorts as the time does.
    std::sort(copies.begin(), copies.end());
    for (std::size_t i = 0; i + static_cast<std::size_t>(keep) < copies.size(); ++i)
        fs::remove(copies[i], error);
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
    if (!fs::copy_file(fileURL_, fileURL_.parent_path() / name, error)) {
        logf("⚠️ [FileConfigStorage] Could not keep a copy of the configuration: {}",
             error.message());
        return;
    }
    logf("🔍 [FileConfigStorage] Kept the replaced configuration as {}", name);
    removeAllButNewest(fileURL_.parent_path(), prefix, keptCopies);
}

} // namespace pennial
