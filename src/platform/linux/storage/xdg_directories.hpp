#pragma once
// Where the application keeps its files, after the XDG base-directory rules: settings beside the
// configuration under $XDG_CONFIG_HOME, crash reports under $XDG_STATE_HOME.

#include <filesystem>

namespace pennial {

// The application's folder name in each base directory.
inline constexpr const char* applicationFolderName = "com.pennial.macos";

// $XDG_CONFIG_HOME when set to an absolute path, else ~/.config.
std::filesystem::path xdgConfigHome();
// $XDG_STATE_HOME when set to an absolute path, else ~/.local/state.
std::filesystem::path xdgStateHome();

} // namespace pennial
