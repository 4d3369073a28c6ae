#pragma once
// The application's identity as crash reports name it.

#include <string>
#include <string_view>

namespace pennial {

// The crash-reporting service groups reports by this name, so it stays what the service knows,
// whatever the desktop calls the program (base/application_id.hpp).
inline constexpr std::string_view crashReleaseIdentifier = "com.pennial.macos";

// The version this build was made from (the project's version).
std::string_view applicationVersion();
// crashReleaseIdentifier "@" version, as crash reports name the release.
std::string applicationReleaseName();

} // namespace pennial
