// Copies of the configuration file kept aside before a change that drops part of it, so that a
// sync that replaces the user's commands never loses them for good.

#include "base/log.hpp"
#include "services/file_config_storage.hpp"

#include <algorithm>
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
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto name = prefix + stamp;
        if (attempt > 0)
            name += fmt::format("-{:02}", attempt);
        auto kept = fileURL_.parent_path() / name;
        if (fs::exists(kept, error))
            continue;
        if (!fs::copy_file(fileURL_, kept, error)) {
            logf("⚠️ [FileConfigStorage] Could not keep a copy of the configuration: {}",
                 error.message());
            return;
        }
        logf("🔍 [FileConfigStorage] Kept the replaced configuration as {}", name);
        removeAllButNewest(fileURL_.parent_path(), prefix, keptCopies);
        return;
    }
}

} // namespace pennial
