#pragma once
// The folders and temporary files that hold the user's settings and reports: private to the user,
// and no temporary copy left behind by a process that died in the middle of a save.

#include <filesystem>
#include <string>

namespace pennial {

// Creates the folder (and missing parents) and makes it 0700; an existing folder of ours is
// tightened to 0700. Throws std::filesystem::filesystem_error when it cannot be created.
void createPrivateFolder(const std::filesystem::path& folder);

// The name prefix of the temporary files that replace file atomically: ".<name>.tmp-<pid>-".
std::string temporaryPrefixFor(const std::filesystem::path& file, long pid);

// Removes the temporary files of file left by processes that are no longer running, and those of
// the older form ".<name>.XXXXXX" that are more than a minute old. Errors are ignored.
void removeStaleTemporaries(const std::filesystem::path& file);

} // namespace pennial
