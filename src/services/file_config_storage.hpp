#pragma once
// The configuration kept in one JSON file, pretty-printed with sorted keys. Writes are atomic, and
// a file that cannot be read is never overwritten without being kept beside it first.

#include "services/config_storage.hpp"

#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace pennial {

class FileConfigStorage final : public ConfigStorage {
public:
    // $XDG_CONFIG_HOME/pennial/config.json (~/.config when unset); creates the folder,
    // private to the user. Both forms remove temporary files left by a save that never finished.
    FileConfigStorage();
    // The given file; nothing is created.
    explicit FileConfigStorage(std::filesystem::path fileURL);

    static std::filesystem::path defaultFileURL();
    const std::filesystem::path& fileURL() const { return fileURL_; }

    Awaitable<AppConfig> load() override;
    Awaitable<void> save(AppConfig config) override;
    // config.json.<why>-<timestamp>; the oldest go once there are more than keptCopies.
    void keepCopyAside(std::string_view why) override;
    static constexpr int keptCopies = 5;

    // The same operations without the coroutine around them.
    AppConfig loadNow() const;
    void saveNow(const AppConfig& config) const;

private:
    void keepUnreadableFile(const std::filesystem::path& target) const;
    void remember(const struct stat* file) const;

    const std::filesystem::path fileURL_;
    mutable std::mutex knownMutex_;
    mutable std::optional<struct stat> knownReadable_; // the file as last read or written whole
};

} // namespace pennial
