#include "services/file_config_storage.hpp"

#include "base/application_id.hpp"
#include "base/bounded_file.hpp"
#include "base/log.hpp"
#include "base/private_files.hpp"
#include "base/unicode.hpp"
#include "services/config_error.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fmt/chrono.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pennial {
namespace {

namespace fs = std::filesystem;

std::string errnoText(int error) {
    return std::strerror(error);
}

// The whole file, or the reason it cannot be read. Anything but a regular file of at most 16 MiB
// is refused as content that cannot be a configuration.
std::string readFile(const fs::path& path, struct stat* info = nullptr) {
    try {
        return readRegularFile(path, maxSettingsFileBytes, info);
    } catch (const FileReadError& error) {
        switch (error.reason()) {
        case FileReadError::Reason::missing:
            throw ConfigError::fileNotFound();
        case FileReadError::Reason::unreadable:
            throw ConfigError::readError(error.what());
        case FileReadError::Reason::notRegular:
        case FileReadError::Reason::tooLarge:
            break;
        }
        throw ConfigError::invalidFormat(error.what());
    }
}

AppConfig decode(const std::string& content) {
    try {
        return AppConfig::fromJson(json::parse(content));
    } catch (const JsonShapeError& error) {
        throw ConfigError::invalidFormat(error.what());
    } catch (const std::exception& error) {
        throw ConfigError::readError(error.what());
    }
}

void validate(const AppConfig& config) {
    if (config.triggerPattern.empty())
        throw ConfigError::validationError("Trigger pattern cannot be empty");
    // A pattern of white space only would fire on ordinary typing.
    if (unicode::trimWhitespaceAndNewlines(config.triggerPattern).empty())
        throw ConfigError::validationError("Trigger pattern cannot be only white space");
}

// Writes content to a temporary file beside target, flushes it and renames it over target, so
// the file is always either the old or the new content.
void writeAtomically(const fs::path& target, const std::string& content) {
    auto temporary =
        target.parent_path() / (temporaryPrefixFor(target, long(::getpid())) + "XXXXXX");
    std::string name = temporary.string();
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        throw ConfigError::writeError(errnoText(errno));
    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(name.c_str());
        throw ConfigError::writeError(errnoText(error));
    };
    struct stat old {};
    // The owner always keeps read and write access: a file of mode 000 must not stay one.
    if (::stat(target.c_str(), &old) == 0)
        ::fchmod(fd, (old.st_mode & 07777) | S_IRUSR | S_IWUSR);
    std::size_t written = 0;
    while (written < content.size()) {
        ssize_t put = ::write(fd, content.data() + written, content.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            fail(errno);
        written += std::size_t(put);
    }
    if (::fsync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(name.c_str());
        throw ConfigError::writeError(errnoText(error));
    }
    if (::rename(name.c_str(), target.c_str()) != 0) {
        int error = errno;
        ::unlink(name.c_str());
        throw ConfigError::writeError(errnoText(error));
    }
    int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

bool isUnreadable(const fs::path& path) {
    try {
        decode(readFile(path));
        return false;
    } catch (const ConfigError&) {
        return true;
    }
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

} // namespace

FileConfigStorage::FileConfigStorage() : fileURL_(defaultFileURL()) {
    try {
        createPrivateFolder(fileURL_.parent_path());
    } catch (const fs::filesystem_error&) {
        // A failure shows at the first save.
    }
    removeStaleTemporaries(fileURL_);
}

FileConfigStorage::FileConfigStorage(fs::path fileURL) : fileURL_(std::move(fileURL)) {
    removeStaleTemporaries(fileURL_);
}

fs::path FileConfigStorage::defaultFileURL() {
    fs::path base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        base = config;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".config";
    else
        base = fs::current_path() / ".config";
    return base / applicationFolderName / "config.json";
}

Awaitable<AppConfig> FileConfigStorage::load() {
    co_return loadNow();
}

Awaitable<void> FileConfigStorage::save(AppConfig config) {
    saveNow(config);
    co_return;
}

AppConfig FileConfigStorage::loadNow() const {
    struct stat info {};
    if (::stat(fileURL_.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw ConfigError::fileNotFound();
        throw ConfigError::readError(errnoText(errno));
    }
    struct stat read {};
    try {
        auto config = decode(readFile(fileURL_, &read));
        remember(&read);
        return config;
    } catch (const ConfigError&) {
        remember(nullptr);
        throw;
    }
}

void FileConfigStorage::remember(const struct stat* file) const {
    std::lock_guard lock(knownMutex_);
    knownReadable_ = file ? std::optional<struct stat>(*file) : std::nullopt;
}

void FileConfigStorage::saveNow(const AppConfig& config) const {
    validate(config);
    auto content = json::dump(config.toJson(), 2);
    // Write through a symbolic link rather than replacing it.
    std::error_code error;
    auto target =
        fs::is_symlink(fileURL_, error) ? fs::weakly_canonical(fileURL_, error) : fileURL_;
    if (error)
        target = fileURL_;
    keepUnreadableFile(target);
    writeAtomically(target, content);
    struct stat written {};
    remember(::stat(target.c_str(), &written) == 0 ? &written : nullptr);
}

// A file that exists but cannot be read or decoded is the user's data all the same: it is kept
// as config.json.corrupt-<timestamp> before the new content replaces it.
void FileConfigStorage::keepUnreadableFile(const fs::path& target) const {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        return;
    {
        // Decoding the file again costs as much as a load: skip it for the file last read or
        // written here, unchanged since.
        std::lock_guard lock(knownMutex_);
        if (knownReadable_ && sameFile(*knownReadable_, info))
            return;
    }
    if (!isUnreadable(target))
        return;
    auto stamp = fmt::format("{:%Y%m%d-%H%M%S}", fmt::gmtime(std::time(nullptr)));
    for (int attempt = 0;; ++attempt) {
        auto name = target.filename().string() + ".corrupt-" + stamp;
        if (attempt > 0)
            name += "-" + std::to_string(attempt);
        auto kept = target.parent_path() / name;
        // A hard link keeps the bytes exactly and cannot fail halfway; copy where links fail.
        if (::link(target.c_str(), kept.c_str()) == 0) {
            logf("⚠️ [FileConfigStorage] Kept the unreadable configuration as {}", name);
            return;
        }
        if (errno == EEXIST)
            continue;
        std::error_code error;
        if (fs::copy_file(target, kept, error)) {
            logf("⚠️ [FileConfigStorage] Kept the unreadable configuration as {}", name);
            return;
        }
        if (error == std::errc::file_exists)
            continue;
        throw ConfigError::writeError("could not keep the unreadable configuration: " +
                                      error.message());
    }
}

} // namespace pennial
