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

std::string trimEmailFooter(std::string_view text) {
    const unicode::FoldedText folded(text);
    std::optional<std::size_t> cut;
    for (auto marker : footerMarkers)
        if (auto at = folded.find(marker); at && (!cut || *at < *cut))
            cut = at;
    if (!cut)
        return std::string(text);
    auto kept = text.substr(0, *cut);
    if (auto newline = kept.rfind('\n'); newline != std::string_view::npos)
        kept = kept.substr(0, newline);
    auto trimmed = unicode::trimWhitespaceAndNewlines(kept);
    return trimmed.empty() ? std::string(text) : trimmed;
}

} // namespace pennial::TextProcessing
