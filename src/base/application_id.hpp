#pragma once
// The program's identity on a Linux desktop: the application id that names its desktop entry,
// AppStream data, icon and runtime files, and the folder named for the program under each XDG
// base directory. Builds before these names used another one for all of them; start-up moves
// what those builds left (see platform/linux/storage/legacy_folders.hpp).

#include <string_view>

namespace pennial {

inline constexpr std::string_view applicationId = "com.pennial.Pennial";
inline constexpr std::string_view applicationFolderName = "pennial";
// The session's item in the desktop's secret store.
inline constexpr std::string_view sessionSecretService = "com.pennial.Pennial.auth";

// What earlier builds named the same things.
inline constexpr std::string_view legacyApplicationId = "com.pennial.macos";
inline constexpr std::string_view legacyApplicationFolderName = "com.pennial.macos";
inline constexpr std::string_view legacySessionSecretService = "com.pennial.macos.auth";

} // namespace pennial
