#include "text/single_line_text.hpp"

namespace pennial {

namespace {

// Whether actual is expected with each line break ("\r\n", "\n" or "\r") replaced by
// replacement (nothing or a space).
bool matchesWithBreaks(std::string_view actual, std::string_view expected,
                       std::string_view replacement) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const char c = expected[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < expected.size() && expected[i + 1] == '\n')
                ++i;
            if (actual.substr(at, replacement.size()) != replacement)
                return false;
            at += replacement.size();
        } else if (at >= actual.size() || actual[at++] != c) {
            return false;
        }
    }
    return at == actual.size();
}

} // namespace

bool heldOnOneLine(std::string_view actual, std::string_view expected) {
    return actual == expected || matchesWithBreaks(actual, expected, " ") ||
           matchesWithBreaks(actual, expected, "");
}

} // namespace pennial
