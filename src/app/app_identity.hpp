#pragma once
// The application's identity as reports and folders name it.

#include <string>
#include <string_view>

namespace pennial {

inline constexpr std::string_view applicationBundleIdentifier = "com.pennial.macos";

// The version this build was made from (the project's version).
std::string_view applicationVersion();
// bundle identifier "@" version, as crash reports name the release.
std::string applicationReleaseName();

} // namespace pennial
