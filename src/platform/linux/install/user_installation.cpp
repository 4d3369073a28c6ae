#include "platform/linux/install/user_installation.hpp"

#include "base/application_id.hpp"
#include "platform/linux/storage/atomic_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <set>
#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace pennial {

namespace fs = std::filesystem;

namespace {

// A fresh folder beside target, on its file system, so that it can be swapped in.
fs::path stagingBeside(const fs::path& target) {
    fs::create_directories(target.parent_path());
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + "-XXXXXX"));
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(),
                                "cannot create a folder in " + target.parent_path().string());
    return pattern;
}

// What may be swapped out at target: nothing, an empty folder, or an installation of ours (a
// folder of this user's holding the program file). Anything else is the user's, and stays.
void requireOwnInstallationOrNothing(const fs::path& target) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return;
        throw std::system_error(errno, std::generic_category(),
                                "cannot look at " + target.string());
    }
    bool ours = S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
    if (ours) {
        std::error_code error;
        struct stat program {};
        ours = (fs::is_empty(target, error) && !error) ||
               (::lstat((target / "pennial").c_str(), &program) == 0 && S_ISREG(program.st_mode));
    }
    if (!ours)
        throw std::runtime_error(target.string() +
                                 " is not a Pennial installation, so it was left as it is; move it "
                                 "elsewhere first");
}

// Only a program file runs: a folder or a link of that name would be swapped in for nothing (or
// for whatever the link points to).
void requireProgramFile(const fs::path& program) {
    struct stat info {};
    if (::lstat(program.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        (info.st_mode & S_IXUSR) == 0)
        throw std::runtime_error("the update archive holds no program file");
}

// Swaps staging and target in one step (the old copy ends in staging); a first install is a
// plain rename, which never replaces what appeared there meanwhile.
void swapIn(const fs::path& staging, const fs::path& target) {
    if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0)
        return;
    if (errno == ENOENT &&
        ::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return;
    throw std::system_error(errno, std::generic_category(),
                            "cannot put " + target.string() + " in place");
}

void run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot run " + arguments[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the update archive cannot be unpacked");
}

// A string value of a desktop entry: a backslash and the line breaks are escaped; other control
// characters cannot be written at all.
std::string escapedValue(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '\r')
            escaped += "\\r";
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            throw std::runtime_error(
                "a desktop entry cannot name a path holding control characters");
        else
            escaped += c;
    }
    return escaped;
}

// A path as the one quoted argument of the Exec key: the quoting's own escapes first, then the
// value's (so a backslash of the path becomes four).
std::string execArgument(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%'; // a field code otherwise
        quoted += c;
    }
    return escapedValue(quoted + "\"");
}

std::string desktopEntryFor(const fs::path& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Pennial\n"
           "Comment=Run AI commands on the text you type in any application\n"
           "Exec=" +
           execArgument(program.string()) +
           "\n"
           "Icon=" +
           std::string(applicationId) +
           "\n"
           "Terminal=false\n"
           "Categories=Utility;\n"
           "StartupNotify=false\n";
}

bool isUnder(const fs::path& path, const fs::path& folder) {
    auto [end, _] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
}

fs::path resolved(const fs::path& path) {
    std::error_code error;
    auto real = fs::weakly_canonical(path, error);
    return error ? path.lexically_normal() : real;
}

// A version after the mark at offset in window, up to its zero byte or line's end; none when the
// mark names none, or when the window ends before the version does.
std::optional<std::string> versionAt(std::string_view window, std::size_t offset, bool lastWindow) {
    constexpr std::size_t longest = 64;
    const auto start = offset + programVersionMark.size();
    auto stop = start;
    while (stop < window.size() && stop - start <= longest &&
           ((window[stop] >= '0' && window[stop] <= '9') || window[stop] == '.'))
        ++stop;
    const bool ended =
        stop < window.size() ? (window[stop] == '\0' || window[stop] == '\n') : lastWindow;
    if (!ended || stop == start || stop - start > longest || window[start] == '.')
        return std::nullopt;
    return std::string(window.substr(start, stop - start));
}

// Puts a folder filled by fill (in a staging folder beside it) in place of the installation,
// which must be ours or absent. Whatever is left, the staging folder after a failure or the old
// copy after the swap, is removed.
void replaceDirectory(const fs::path& directory,
                      const std::function<void(const fs::path& staging)>& fill) {
    requireOwnInstallationOrNothing(directory);
    const auto staging = stagingBeside(directory);
    try {
        fill(staging);
        fs::permissions(staging, fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
        swapIn(staging, directory);
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        throw;
    }
    std::error_code ignored;
    fs::remove_all(staging, ignored);
}

} // namespace

fs::path UserInstallation::directory() const {
    return home / ".local/opt/pennial";
}

fs::path UserInstallation::program() const {
    return directory() / "pennial";
}

fs::path UserInstallation::desktopEntry() const {
    return home / ".local/share/applications" / (std::string(applicationId) + ".desktop");
}

fs::path UserInstallation::icon() const {
    return home / ".local/share/icons/hicolor/scalable/apps" /
           (std::string(applicationId) + ".svg");
}

bool UserInstallation::renameLegacyEntry() const {
    const auto legacyEntry =
        desktopEntry().parent_path() / (std::string(legacyApplicationId) + ".desktop");
    const auto legacyIcon = icon().parent_path() / (std::string(legacyApplicationId) + ".svg");
    std::error_code error;
    if (!fs::is_regular_file(legacyEntry, error) || fs::exists(desktopEntry(), error))
        return false;
    // The icon first, so that the new entry never names an icon that is not there yet.
    if (fs::is_regular_file(legacyIcon, error) && !fs::exists(icon(), error))
        fs::rename(legacyIcon, icon());
    writeFileAtomically(desktopEntry(), desktopEntryFor(program()));
    fs::remove(legacyEntry);
    return true;
}

void UserInstallation::install(const fs::path& runningProgram, std::string_view iconSvg) const {
    // Before anything changes: a path no desktop entry can hold fails here.
    const auto entry = desktopEntryFor(program());
    replaceDirectory(directory(), [&](const fs::path& staging) {
        fs::copy_file(runningProgram, staging / "pennial");
    });
    writeFileAtomically(desktopEntry(), entry);
    writeFileAtomically(icon(), iconSvg);
}

void UserInstallation::replaceWith(const fs::path& archive, std::string_view version) const {
    replaceDirectory(directory(), [&](const fs::path& staging) {
        run({"tar", "-xzf", archive.string(), "-C", staging.string(), "--no-same-owner"});
        const auto program = staging / "pennial";
        requireProgramFile(program);
        const auto named = programVersion(program);
        if (!named)
            throw std::runtime_error("the update's program names no version");
        if (*named != version)
            throw std::runtime_error("the update's program is version " + *named + ", not " +
                                     std::string(version));
    });
}

std::optional<std::string> UserInstallation::installedVersion() const {
    return programVersion(program());
}

std::optional<std::string> programVersion(const fs::path& program) {
    std::ifstream in(program, std::ios::binary);
    if (!in)
        return std::nullopt;
    // Read in blocks; the end of each is kept for a mark that runs into the next.
    constexpr std::size_t block = 64 * 1024;
    const std::size_t carried = programVersionMark.size() + 80;
    std::string window;
    std::vector<char> buffer(block);
    std::set<std::string> named;
    for (bool last = false; !last;) {
        in.read(buffer.data(), block);
        window.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
        last = !in;
        for (auto at = window.find(programVersionMark); at != std::string::npos;
             at = window.find(programVersionMark, at + 1))
            if (auto version = versionAt(window, at, last))
                named.insert(std::move(*version));
        if (window.size() > carried)
            window.erase(0, window.size() - carried);
    }
    if (named.size() != 1)
        return std::nullopt;
    return *named.begin();
}

ProgramLocation locateProgram(const fs::path& program, const UserInstallation& installation) {
    if (program.empty())
        return ProgramLocation::elsewhere;
    const auto where = resolved(program);
    if (isUnder(where, "/usr"))
        return ProgramLocation::systemPackage;
    if (isUnder(where, resolved(installation.directory())))
        return ProgramLocation::userInstallation;
    return ProgramLocation::elsewhere;
}

fs::path runningProgram() {
    std::error_code error;
    auto path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

} // namespace pennial
