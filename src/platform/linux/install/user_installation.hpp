#pragma once
// An installation for one user, made from a download: the program and its files in
// ~/.local/opt/pennial/, a desktop entry in ~/.local/share/applications/ and the icon in the user's
// icon theme. Installing it, replacing it with an update's archive, and telling whether a program
// runs from it or from the system's packages.

#include <filesystem>
#include <string>
#include <string_view>

namespace pennial {

struct UserInstallation {
    std::filesystem::path home;

    std::filesystem::path directory() const; // ~/.local/opt/pennial
    std::filesystem::path program() const;   // its "pennial"
    std::filesystem::path desktopEntry() const;
    std::filesystem::path icon() const;

    // Copies the running program into directory() (its fonts and images are built in: it is the
    // whole application), then writes the desktop entry and the icon. An old copy is replaced
    // only once the new one is complete.
    // Throws std::runtime_error (or std::filesystem::filesystem_error) naming the failure.
    void install(const std::filesystem::path& runningProgram, std::string_view iconSvg) const;
    // Puts the content of a gzip-compressed tar archive (its "pennial" at the top) in place of
    // directory() in one step. Throws naming the failure; the installed copy is then unchanged.
    void replaceWith(std::string_view archive) const;
};

enum class ProgramLocation { systemPackage, userInstallation, elsewhere };
ProgramLocation locateProgram(const std::filesystem::path& program,
                              const UserInstallation& installation);

// The running program's own file.
std::filesystem::path runningProgram();

} // namespace pennial
