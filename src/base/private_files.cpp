#include "base/private_files.hpp"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace pennial {
namespace {

namespace fs = std::filesystem;

bool processIsGone(long pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// ".<name>.XXXXXX", the form of temporary files before they carried the writer's process id.
bool isOldFormTemporary(const std::string& entry, const std::string& prefix) {
    if (entry.size() != prefix.size() + 6 || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (char c : entry.substr(prefix.size()))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

void createPrivateFolder(const fs::path& folder) {
    if (folder.empty())
        return;
    if (folder.has_parent_path())
        fs::create_directories(folder.parent_path());
    if (::mkdir(folder.c_str(), 0700) == 0)
        return;
    int error = errno;
    struct stat info {};
    if (error != EEXIST || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw fs::filesystem_error("cannot create folder", folder,
                                   std::error_code(error, std::generic_category()));
    if (info.st_uid == ::getuid() && (info.st_mode & 077) != 0)
        ::chmod(folder.c_str(), 0700);
}

std::string temporaryPrefixFor(const fs::path& file, long pid) {
    return "." + file.filename().string() + ".tmp-" + std::to_string(pid) + "-";
}

void removeStaleTemporaries(const fs::path& file) {
    auto folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    const std::string prefix = "." + file.filename().string() + ".tmp-";
    const std::string oldPrefix = "." + file.filename().string() + ".";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        auto name = entry.path().filename().string();
        bool stale = false;
        if (name.starts_with(prefix)) {
            long pid = 0;
            auto digits = std::string_view(name).substr(prefix.size());
            auto [end, parsed] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
            stale = parsed == std::errc() && end != digits.data() &&
                    end != digits.data() + digits.size() && *end == '-' && processIsGone(pid);
        } else if (isOldFormTemporary(name, oldPrefix)) {
            std::error_code ignored;
            auto age = fs::file_time_type::clock::now() - fs::last_write_time(entry, ignored);
            stale = !ignored && age > std::chrono::minutes(1);
        }
        if (stale && entry.is_regular_file(error)) {
            std::error_code ignored;
            fs::remove(entry.path(), ignored);
        }
    }
}

} // namespace pennial
