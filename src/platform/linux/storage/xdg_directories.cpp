#include "platform/linux/storage/xdg_directories.hpp"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace pennial {
namespace {

std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

std::filesystem::path baseDirectory(const char* variable, const std::filesystem::path& fallback) {
    // The rules say relative values are invalid and must be ignored.
    if (const char* value = std::getenv(variable); value && *value == '/')
        return value;
    return homeDirectory() / fallback;
}

} // namespace

std::filesystem::path xdgConfigHome() {
    return baseDirectory("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path xdgStateHome() {
    return baseDirectory("XDG_STATE_HOME", std::filesystem::path(".local") / "state");
}

std::filesystem::path xdgDataHome() {
    return baseDirectory("XDG_DATA_HOME", std::filesystem::path(".local") / "share");
}

} // namespace pennial
