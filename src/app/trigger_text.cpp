#include "app/trigger_text.hpp"

#include "base/unicode.hpp"

namespace pennial {

std::optional<long long> locateTrigger(std::string_view text, std::string_view fullPattern,
                                       std::optional<long long> reportedOffset) {
    const auto units = unicode::toUtf16(text);
    const auto pattern = unicode::toUtf16(fullPattern);
    if (pattern.empty())
        return std::nullopt;
    const std::u16string_view whole(units);
    if (reportedOffset && *reportedOffset >= 0 &&
        static_cast<std::size_t>(*reportedOffset) + pattern.size() <= whole.size() &&
        whole.substr(static_cast<std::size_t>(*reportedOffset), pattern.size()) == pattern)
        return reportedOffset;
    auto last = whole.rfind(pattern);
    if (last == std::u16string_view::npos)
        return std::nullopt;
    return static_cast<long long>(last);
}

bool isPlainSnippet(const Command& command) {
    if (command.replaceText)
        return false;
    // A tag is "<", at least one character other than ">", then ">".
    const std::string_view content = command.content;
    for (auto open = content.find('<'); open != std::string_view::npos;
         open = content.find('<', open + 1)) {
        auto close = content.find('>', open + 1);
        if (close == std::string_view::npos)
            return true;
        if (close > open + 1)
            return false;
    }
    return true;
}

Replacements replacementsFor(const Command& command, const TextProcessing::TriggerSplit& split,
                             const std::string& result) {
    Replacements replacements;
    if (command.replaceText)
        replacements.rangeReplacement = result;
    else
        replacements.rangeReplacement =
            TextProcessing::composeSnippetText(split.textBefore, result, "");
    replacements.fullReplacement = replacements.rangeReplacement + split.textAfter;
    return replacements;
}

} // namespace pennial
