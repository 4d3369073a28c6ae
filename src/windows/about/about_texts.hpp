#pragma once
// What the about window says and where its links lead.

#include <QString>

namespace pennial::about {

inline constexpr const char* productName = "Pennial";
inline constexpr const char* tagline = "AI-powered text transforms for Linux.";
inline constexpr const char* websiteDomain = "pennial.com";
inline constexpr const char* supportEmail = "support@pennial.com";

// This build's version, as the build states it.
QString version();
// "Version 1.2.3".
QString versionLine();
QString websiteURL();
QString supportMailURL();
// "© 2026 Pennial": the year as plain digits, never grouped.
QString footer(int year);

} // namespace pennial::about
