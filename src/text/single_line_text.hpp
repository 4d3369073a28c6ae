#pragma once
// What a single-line field makes of a pasted text: browsers turn its line breaks into spaces, or
// drop them. The text it then holds is the text as intended, not a failed write.

#include <string_view>

namespace pennial {

// Whether actual is expected as a single-line field holds it (expected itself included).
bool heldOnOneLine(std::string_view actual, std::string_view expected);

} // namespace pennial
