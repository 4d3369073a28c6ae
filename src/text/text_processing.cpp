#include "text/text_processing.hpp"

#include "base/unicode.hpp"

#include <unicode/utf8.h>

namespace pennial::TextProcessing {
namespace {

// Byte index of a UTF-16 offset; an offset inside a surrogate pair rounds down to its character.
std::size_t byteOffsetFloor(std::string_view text, std::size_t utf16Offset) {
    if (auto exact = unicode::byteOffsetForUtf16(text, utf16Offset))
        return *exact;
    auto below = unicode::byteOffsetForUtf16(text, utf16Offset - 1);
    return below ? *below : text.size();
}

std::string removingAll(std::string_view text, std::string_view pattern) {
    if (pattern.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find(pattern); at != std::string_view::npos;
         at = text.find(pattern, from)) {
        out.append(text.substr(from, at - from));
        from = at + pattern.size();
    }
    out.append(text.substr(from));
    return out;
}

} // namespace

TriggerSplit splitAtTrigger(std::string_view fullText, std::string_view fullPattern,
                            std::optional<long long> triggerOffset) {
    const auto length = static_cast<long long>(unicode::utf16Length(fullText));
    const auto patternLength = static_cast<long long>(unicode::utf16Length(fullPattern));
    TriggerSplit split;
    if (triggerOffset && *triggerOffset >= 0 && *triggerOffset + patternLength <= length) {
        auto start = byteOffsetFloor(fullText, std::size_t(*triggerOffset));
        auto end = byteOffsetFloor(fullText, std::size_t(*triggerOffset + patternLength));
        split.textBefore = unicode::trimHorizontalWhitespace(fullText.substr(0, start));
        split.textAfter = std::string(fullText.substr(end));
        if (auto newline = split.textAfter.find('\n'); newline != std::string::npos)
            split.suffix = split.textAfter.substr(newline);
        return split;
    }
    split.textBefore = unicode::trimHorizontalWhitespace(removingAll(fullText, fullPattern));
    return split;
}

std::string composeSnippetText(std::string_view textBefore, std::string_view snippet,
                               std::string_view suffix) {
    std::string text(textBefore);
    if (!text.empty() && text.back() != '\n')
        text.push_back('\n');
    text.append(snippet);
    text.append(suffix);
    return text;
}

std::string completedPattern(std::string_view triggerPattern, std::string_view fullPattern,
                             std::string_view commandName) {
    std::string completed(triggerPattern);
    if (fullPattern.starts_with(triggerPattern)) {
        auto rest = fullPattern.substr(triggerPattern.size());
        std::size_t runEnd = 0;
        for (std::size_t i = 0; i < rest.size();) {
            int32_t index = int32_t(i);
            UChar32 c;
            U8_NEXT(reinterpret_cast<const uint8_t*>(rest.data()), index, int32_t(rest.size()), c);
            if (c < 0 || !unicode::isWhitespace(char32_t(c)))
                break;
            i = std::size_t(index);
            runEnd = i;
        }
        completed.append(rest.substr(0, runEnd));
    }
    completed.append(commandName);
    return completed;
}

namespace {

// Byte offset of the earliest first occurrence of any marker, ignoring case.
std::optional<std::size_t> earliestMarker(std::string_view text) {
    // The markers are ASCII, so an ASCII-lowered copy finds them at the same byte offsets, unless
    // the text holds one of the two non-ASCII characters that fold to ASCII letters (K, long s).
    const bool foldsToAscii = text.find("\xE2\x84\xAA") != std::string_view::npos ||
                              text.find("\xC5\xBF") != std::string_view::npos;
    std::optional<std::size_t> cut;
    if (foldsToAscii) {
        const unicode::FoldedText folded(text);
        for (auto marker : footerMarkers)
            if (auto at = folded.find(marker, cut); at && (!cut || *at < *cut))
                cut = at;
        return cut;
    }
    std::string lowered(text);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    std::string_view haystack(lowered);
    for (auto marker : footerMarkers) {
        // Only an occurrence earlier than the best so far matters.
        auto searched = cut ? haystack.substr(0, *cut + marker.size() - 1) : haystack;
        if (auto at = searched.find(marker); at != std::string_view::npos)
            cut = at;
    }
    return cut;
}

} // namespace

std::string trimEmailFooter(std::string_view text) {
    auto cut = earliestMarker(text);
    if (!cut)
        return std::string(text);
    auto kept = text.substr(0, *cut);
    if (auto newline = kept.rfind('\n'); newline != std::string_view::npos)
        kept = kept.substr(0, newline);
    auto trimmed = unicode::trimWhitespaceAndNewlines(kept);
    return trimmed.empty() ? std::string(text) : trimmed;
}

} // namespace pennial::TextProcessing
