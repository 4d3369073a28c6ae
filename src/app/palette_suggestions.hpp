#pragma once
// The command palette's rows and selection, worked out from the configured commands and what the
// user has typed after the trigger pattern. Pure functions; the coordinator keeps the state.

#include "app/template_suggestion.hpp"
#include "text/command.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace pennial {

// The typed command-name part as the palette matches it: trimmed and lower case.
std::string normalizedPaletteQuery(std::string_view query);

// The commands whose lower-cased name contains query, as rows in configuration order; without
// text before the trigger, the insert commands come first and the rewrite commands (which then
// have nothing to rewrite) follow, disabled.
std::vector<TemplateSuggestion> paletteSuggestions(const std::vector<Command>& commands,
                                                   std::string_view query,
                                                   bool hasTextBeforeTrigger);

// "fix_grammar" and "fix-grammar" read "Fix Grammar".
std::string prettifiedTemplateName(std::string_view name);

// The previous index kept inside the rows, moved to the first enabled row when it lands on a
// disabled one; 0 without rows.
int clampedSelectionIndex(int previous, const std::vector<TemplateSuggestion>& suggestions);

// The next enabled row from `from` in direction (1 down, -1 up), wrapping around; `from` itself
// when no other row is enabled (or when none is).
int nextEnabledIndex(const std::vector<TemplateSuggestion>& suggestions, int from, int direction);

} // namespace pennial
