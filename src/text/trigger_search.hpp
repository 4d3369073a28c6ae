#pragma once
// Finds a trigger pattern followed by a command name in a field's text, in one linear pass.
// The rules are those of two regular expressions over the escaped pattern, run in multi-line mode:
//   complete trigger: pattern \s*(\w+)$
//   partial trigger:  pattern \s*(\w*)(?=\s*$)
// A backtracking engine needs quadratic time (seconds) on a pattern followed by thousands of
// blanks; this scanner gives the same matches, with \s, \w and $ as the engine defines them.

#include "base/unicode.hpp"

#include <optional>
#include <string_view>
#include <vector>

namespace pennial {

// One match: its whole extent (pattern, white space, name) and the name (possibly empty for a
// partial trigger), in UTF-16 units of the whole text.
struct PatternMatch {
    unicode::Utf16Range whole;
    unicode::Utf16Range name;

    bool operator==(const PatternMatch&) const = default;
};

// Both searches report the engine's non-overlapping matches, found left to right. An empty pattern
// finds nothing.
class TriggerSearch {
public:
    TriggerSearch(std::u16string_view text, std::u16string_view pattern);

    // Every match of the pattern, optional white space and a name that ends its line.
    std::vector<PatternMatch> completeTriggers() const;
    // The last match of the pattern, optional white space and a partial name followed by nothing
    // but white space up to a line end.
    std::optional<PatternMatch> lastPartialTrigger() const;

private:
    std::u16string_view text_;
    std::u16string_view pattern_;
};

} // namespace pennial
