#pragma once
// Text that a server wrote, made fit for a message, a log line or a crash report: servers echo
// requests (tokens, codes) and send pages of markup, so nothing of theirs is quoted at length.

#include <optional>
#include <string>
#include <string_view>

namespace pennial {

inline constexpr std::size_t maxQuotedServerCharacters = 200;

// Valid UTF-8 on one line (control characters become spaces), at most 200 characters.
std::string plainServerText(std::string_view text);

// A body for a log line: "<no body>" when there is none or it is not UTF-8; a body that is not
// JSON is never quoted, only described by its size; JSON is quoted as plain server text.
std::string quotedServerBody(const std::optional<std::string>& body);

} // namespace pennial
