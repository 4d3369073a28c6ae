#include "app/palette_completion.hpp"

#include "base/unicode.hpp"

namespace pennial {

namespace {
bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}
} // namespace

std::string textWithCompletedTrigger(std::string_view value, std::string_view typedPattern,
                                     std::string_view completed) {
    std::string result;
    if (value.ends_with(typedPattern)) {
        result = value.substr(0, value.size() - typedPattern.size());
        result += completed;
        return result;
    }
    // The typed pattern followed by white space up to the end: the leftmost such place, as a
    // search from the start would find it. Only the trailing white-space run is walked, so a long
    // run of blanks costs one pass per boundary in it, not a backtracking search.
    for (std::size_t end = unicode::trailingWhitespaceStart(value); end <= value.size(); ++end) {
        if (end < value.size() && isContinuationByte(value[end]))
            continue;
        if (value.substr(0, end).ends_with(typedPattern)) {
            result = value.substr(0, end - typedPattern.size());
            result += completed;
            return result;
        }
    }
    return std::string(value);
}

} // namespace pennial
