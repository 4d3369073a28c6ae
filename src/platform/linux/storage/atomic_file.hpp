#pragma once
// Replaces a file's content all at once: a crash or a full disk leaves either the old content or
// the new, never a mix.

#include <filesystem>
#include <string_view>

namespace pennial {

// Creates missing parent folders (the last one private to the user); throws std::system_error when
// the file cannot be written.
void writeFileAtomically(const std::filesystem::path& file, std::string_view contents);

} // namespace pennial
