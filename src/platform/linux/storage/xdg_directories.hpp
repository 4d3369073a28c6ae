#pragma once
// Where the application keeps its files, after the XDG base-directory rules: settings beside the
// configuration under $XDG_CONFIG_HOME, crash reports under $XDG_STATE_HOME, each in the folder
// named for the program (applicationFolderName).

#include "base/application_id.hpp"

#include <filesystem>

namespace pennial {

// $XDG_CONFIG_HOME when set to an absolute path, else ~/.config.
std::filesystem::path xdgConfigHome();
// $XDG_STATE_HOME when set to an absolute path, else ~/.local/state.
std::filesystem::path xdgStateHome();
// $XDG_DATA_HOME when set to an absolute path, else ~/.local/share.
std::filesystem::path xdgDataHome();

} // namespace pennial
