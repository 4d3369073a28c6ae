#pragma once
// An installation for one user, made from a download: the program and its files in
// ~/.local/opt/pennial/, a desktop entry in ~/.local/share/applications/ and the icon in the user's
// icon theme. Installing it, replacing it with an update's archive, and telling whether a program
// runs from it or from the system's packages.

#include <filesystem>
#include <optional>
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
    // only once the new one is complete, and only when it is one: anything else at directory()
    // is left alone.
    // Throws std::runtime_error (or std::filesystem::filesystem_error) naming the failure.
    void install(const std::filesystem::path& runningProgram, std::string_view iconSvg) const;
    // Puts the content of a gzip-compressed tar archive file (its "pennial" at the top, a program
    // file that names this version) in place of directory() in one step. Throws naming the
    // failure; the installed copy is then unchanged.
    void replaceWith(const std::filesystem::path& archive, std::string_view version) const;
    // An installation made by a build from before the program's present id has its desktop entry
    // and icon under the old id: they take the new names, the entry naming the new icon. False
    // when there was nothing to rename. Throws naming the failure; the old entry then stays.
    bool renameLegacyEntry() const;
    // The version the installed program names; none when there is none or it names none.
    std::optional<std::string> installedVersion() const;
};

// A program names its version in its own file with this mark, followed by the version and a zero
// byte or a line's end, so that it can be read before the program is ever run.
inline constexpr std::string_view programVersionMark = "@(#)pennial-version ";
// The version the program file names; none when it names none or more than one.
std::optional<std::string> programVersion(const std::filesystem::path& program);

enum class ProgramLocation { systemPackage, userInstallation, elsewhere };
// Compared once links are resolved: a home reached through a link is still that home.
ProgramLocation locateProgram(const std::filesystem::path& program,
                              const UserInstallation& installation);

// The running program's own file.
std::filesystem::path runningProgram();

} // namespace pennial
