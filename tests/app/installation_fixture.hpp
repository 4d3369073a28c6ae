#pragma once
// What the tests of the user's installation and its updates share: program files as an update
// carries them, archives of them, and a record of what lies at a path.

#include "platform/linux/install/user_installation.hpp"
#include "temp_folder.hpp"

#include <cstdlib>
#include <functional>
#include <map>
#include <string>

namespace pennial::testing {

// A program file that names its version, as a build of the program does.
inline std::string programNaming(const std::string& version) {
    return "#!/bin/sh\n# " + std::string(programVersionMark) + version + "\necho " + version + "\n";
}

inline void writeProgram(const std::filesystem::path& file, const std::string& text) {
    writeFile(file, text);
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
}

// A gzip-compressed tar archive of what fill puts in a folder (members named "./...", as a
// release's are); extra is added to tar's arguments.
inline std::string archiveOf(const std::function<void(const std::filesystem::path&)>& fill,
                             const std::string& extra = "") {
    TempFolder content;
    std::filesystem::create_directories(content / "top");
    fill(content / "top");
    const auto file = content / "archive.tar.gz";
    const auto command =
        "tar -czPf " + file.string() + " -C " + (content / "top").string() + " . " + extra;
    if (std::system(command.c_str()) != 0)
        return {};
    return readFile(file);
}

// Everything at path: each entry's kind and bytes or target, by its relative name.
inline std::map<std::string, std::string> treeAt(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    auto record = [&](const fs::path& entry, const std::string& name) {
        const auto status = fs::symlink_status(entry);
        if (fs::is_symlink(status))
            tree[name] = "link to " + fs::read_symlink(entry).string();
        else if (fs::is_directory(status))
            tree[name] = "folder";
        else if (fs::exists(status))
            tree[name] = "file " + readFile(entry);
    };
    record(path, ".");
    if (fs::is_directory(fs::symlink_status(path)))
        for (const auto& entry : fs::recursive_directory_iterator(path))
            record(entry.path(), entry.path().lexically_relative(path).string());
    return tree;
}

} // namespace pennial::testing
