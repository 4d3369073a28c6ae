#pragma once
// Earlier builds kept their files in folders named after another application id
// (legacyApplicationFolderName). At start-up, before anything reads them, each such folder under
// a base directory takes the program's folder name, once: only where the program's folder does
// not exist yet, in one rename, so that nothing is copied and nothing can be half moved. A folder
// that cannot be moved stays where it is, with everything in it.

#include <filesystem>
#include <vector>

namespace pennial {

// Moves base/<legacy> to base/<applicationFolderName> in each base; one log line for each folder
// moved or left behind. Call while holding the single-instance lock.
void moveLegacyFolders(const std::vector<std::filesystem::path>& bases);
// The same for $XDG_CONFIG_HOME, $XDG_STATE_HOME and $XDG_DATA_HOME.
void moveLegacyFolders();

} // namespace pennial
