#include "platform/linux/install/user_installation.hpp"

#include "platform/linux/storage/atomic_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace pennial {

namespace fs = std::filesystem;

namespace {

constexpr const char* appId = "com.pennial.macos";

// A fresh folder beside target, on its file system, so that it can be swapped in.
fs::path stagingBeside(const fs::path& target) {
    fs::create_directories(target.parent_path());
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + "-XXXXXX"));
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(),
                                "cannot create a folder in " + target.parent_path().string());
    return pattern;
}

// Swaps staging and target in one step (the old copy ends in staging); a first install is a
// plain rename.
void swapIn(const fs::path& staging, const fs::path& target) {
    if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0)
        return;
    if (errno == ENOENT && ::rename(staging.c_str(), target.c_str()) == 0)
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

// A path as one quoted argument of a desktop entry's Exec key.
std::string quotedExecArgument(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += "\\\\"; // escaped for the quoting, then for the key's string value
        if (c == '%')
            quoted += '%'; // a field code otherwise
        quoted += c;
    }
    return quoted + "\"";
}

std::string desktopEntryFor(const fs::path& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Pennial\n"
           "Comment=Run AI commands on the text you type in any application\n"
           "Exec=" +
           quotedExecArgument(program.string()) +
           "\n"
           "Icon=com.pennial.macos\n"
           "Terminal=false\n"
           "Categories=Utility;\n"
           "StartupNotify=false\n";
}

bool isUnder(const fs::path& path, const fs::path& folder) {
    auto [end, _] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
}

} // namespace

fs::path UserInstallation::directory() const {
    return home / ".local/opt/pennial";
}

fs::path UserInstallation::program() const {
    return directory() / "pennial";
}

fs::path UserInstallation::desktopEntry() const {
    return home / ".local/share/applications" / (std::string(appId) + ".desktop");
}

fs::path UserInstallation::icon() const {
    return home / ".local/share/icons/hicolor/scalable/apps" / (std::string(appId) + ".svg");
}

void UserInstallation::install(const fs::path& runningProgram, std::string_view iconSvg) const {
    const auto staging = stagingBeside(directory());
    try {
        fs::copy_file(runningProgram, staging / "pennial");
        fs::permissions(staging, fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
        swapIn(staging, directory());
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        throw;
    }
    std::error_code ignored;
    fs::remove_all(staging, ignored); // the old copy, if there was one
    writeFileAtomically(desktopEntry(), desktopEntryFor(program()));
    writeFileAtomically(icon(), iconSvg);
}

void UserInstallation::replaceWith(std::string_view archive) const {
    const auto staging = stagingBeside(directory());
    const auto archiveFile = staging.string() + ".tar.gz";
    try {
        writeFileAtomically(archiveFile, archive);
        run({"tar", "-xzf", archiveFile, "-C", staging.string(), "--no-same-owner"});
        fs::remove(archiveFile);
        if (::access((staging / "pennial").c_str(), X_OK) != 0)
            throw std::runtime_error("the update archive holds no program");
        fs::permissions(staging, fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
        swapIn(staging, directory());
    } catch (...) {
        std::error_code ignored;
        fs::remove(archiveFile, ignored);
        fs::remove_all(staging, ignored);
        throw;
    }
    std::error_code ignored;
    fs::remove_all(staging, ignored);
}

ProgramLocation locateProgram(const fs::path& program, const UserInstallation& installation) {
    const auto where = program.lexically_normal();
    if (isUnder(where, "/usr"))
        return ProgramLocation::systemPackage;
    if (isUnder(where, installation.directory().lexically_normal()))
        return ProgramLocation::userInstallation;
    return ProgramLocation::elsewhere;
}

fs::path runningProgram() {
    std::error_code error;
    auto path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

} // namespace pennial
