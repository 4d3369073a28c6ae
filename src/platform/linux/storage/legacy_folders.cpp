#include "platform/linux/storage/legacy_folders.hpp"

#include "base/application_id.hpp"
#include "base/log.hpp"
#include "platform/linux/storage/xdg_directories.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace pennial {

namespace fs = std::filesystem;

namespace {

bool isThere(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

// Never over what is there: a file system without RENAME_NOREPLACE gets the plain rename after a
// look, which the single-instance lock keeps from racing with another start of ours.
int renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (isThere(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void moveLegacyFolder(const fs::path& base) {
    const auto from = base / legacyApplicationFolderName;
    const auto to = base / applicationFolderName;
    if (!isThere(from))
        return;
    int error = renameNoReplace(from, to);
    // An empty folder of the new name holds nothing to keep (rmdir removes no other).
    if ((error == EEXIST || error == ENOTEMPTY) && ::rmdir(to.c_str()) == 0)
        error = renameNoReplace(from, to);
    if (error == 0)
        logf("🔵 [Pennial] Moved {} to {}", from.string(), to.string());
    else if (error == EEXIST || error == ENOTEMPTY)
        logf("⚠️ [Pennial] {} is not used: {} exists, so it was left as it is", from.string(),
             to.string());
    else
        logf("⚠️ [Pennial] {} could not be moved to {} ({}); it was left as it is: move it by "
             "hand "
             "to keep what it holds",
             from.string(), to.string(), std::strerror(error));
}

} // namespace

void moveLegacyFolders(const std::vector<fs::path>& bases) {
    for (const auto& base : bases)
        moveLegacyFolder(base);
}

void moveLegacyFolders() {
    moveLegacyFolders({xdgConfigHome(), xdgStateHome(), xdgDataHome()});
}

} // namespace pennial
