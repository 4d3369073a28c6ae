#include "text/field_write.hpp"

#include "base/unicode.hpp"
#include "text/single_line_text.hpp"

#include <algorithm>

namespace pennial {

namespace {

bool isLineBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string normalised(std::string_view text, bool singleLine) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            c = '\n';
        }
        if (c == '\n') {
            while (!lines.empty() && isLineBlank(lines.back()))
                lines.pop_back();
            if (singleLine)
                continue;
        }
        lines += c;
    }
    while (!lines.empty() && (isLineBlank(lines.back()) || lines.back() == '\n'))
        lines.pop_back();
    return lines;
}

// The size of the one stretch in which a and b differ, once their common start and end are set
// aside: how much typing turns one into the other at the least.
std::size_t differingSpan(std::string_view a, std::string_view b) {
    const auto ua = unicode::toUtf16(a);
    const auto ub = unicode::toUtf16(b);
    std::size_t prefix = 0;
    const std::size_t shorter = std::min(ua.size(), ub.size());
    while (prefix < shorter && ua[prefix] == ub[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && ua[ua.size() - 1 - suffix] == ub[ub.size() - 1 - suffix])
        ++suffix;
    return std::max(ua.size(), ub.size()) - prefix - suffix;
}

} // namespace

bool holdsWrittenText(std::string_view field, std::string_view intended, bool singleLine) {
    return field == intended || normalised(field, singleLine) == normalised(intended, singleLine) ||
           (singleLine && heldOnOneLine(field, intended));
}

WriteVerdict judgeWrite(std::string_view before, std::string_view intended, std::string_view now,
                        bool singleLine) {
    if (holdsWrittenText(now, intended, singleLine))
        return WriteVerdict::landed;
    if (now == before)
        return WriteVerdict::untouched;
    // A few keys typed right after the write landed leave the field much nearer the written text
    // than the earlier one.
    if (differingSpan(now, intended) < differingSpan(now, before))
        return WriteVerdict::landedThenEdited;
    return WriteVerdict::changed;
}

} // namespace pennial
