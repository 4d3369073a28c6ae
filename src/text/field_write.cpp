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
std::size_t differingSpan(std::u16string_view ua, std::u16string_view ub) {
    std::size_t prefix = 0;
    const std::size_t shorter = std::min(ua.size(), ub.size());
    while (prefix < shorter && ua[prefix] == ub[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && ua[ua.size() - 1 - suffix] == ub[ub.size() - 1 - suffix])
        ++suffix;
    return std::max(ua.size(), ub.size()) - prefix - suffix;
}

std::size_t differingSpan(std::string_view a, std::string_view b) {
    return differingSpan(unicode::toUtf16(a), unicode::toUtf16(b));
}

// Whether now is intended with the end of its written stretch missing, as a field that takes text
// up to its maximum length keeps it. Such a field held the text before, so it cuts at no less
// than that length, unless it was over its limit already and took nothing: one shorter that holds
// some of the written text was edited (a Backspace right after the write landed).
bool isCutShort(std::string_view before, std::string_view intended, std::string_view now,
                AXRange written) {
    const auto whole = unicode::toUtf16(intended);
    const auto field = unicode::toUtf16(now);
    const auto end =
        static_cast<std::size_t>(std::max<std::int64_t>(0, written.location + written.length));
    if (written.location < 0 || written.length <= 0 || end > whole.size() ||
        field.size() >= whole.size())
        return false;
    const auto missing = whole.size() - field.size();
    if (missing > static_cast<std::size_t>(written.length))
        return false;
    const auto kept = end - missing;
    if (field.size() < unicode::utf16Length(before) &&
        kept > static_cast<std::size_t>(written.location))
        return false;
    return std::u16string_view(field).substr(0, kept) ==
               std::u16string_view(whole).substr(0, kept) &&
           std::u16string_view(field).substr(kept) == std::u16string_view(whole).substr(end);
}

} // namespace

bool holdsWrittenText(std::string_view field, std::string_view intended, bool singleLine) {
    return field == intended || normalised(field, singleLine) == normalised(intended, singleLine) ||
           (singleLine && heldOnOneLine(field, intended));
}

WriteVerdict judgeWrite(std::string_view before, std::string_view intended, std::string_view now,
                        bool singleLine, std::optional<AXRange> written) {
    if (holdsWrittenText(now, intended, singleLine))
        return WriteVerdict::landed;
    if (now == before)
        return WriteVerdict::untouched;
    if (written && isCutShort(before, intended, now, *written))
        return WriteVerdict::cutShort;
    // A few keys typed right after the write landed leave the field much nearer the written text
    // than the earlier one.
    if (differingSpan(now, intended) < differingSpan(now, before))
        return WriteVerdict::landedThenEdited;
    return WriteVerdict::changed;
}

std::optional<UserTextAroundPaste> userTextAroundPaste(const PasteOutcome& outcome) {
    const auto before = unicode::toUtf16(outcome.original);
    const auto field = unicode::toUtf16(outcome.now);
    const auto paste = unicode::toUtf16(outcome.pasted);

    // The user's text is the field less the paste; of several places the paste could have gone
    // in, the one that leaves the text nearest the original.
    std::u16string user = field;
    std::optional<std::int64_t> pastedAt;
    std::size_t typed = 0; // how much the user typed, as this explains the field
    if (!paste.empty()) {
        for (auto at = field.find(paste); at != std::u16string::npos;
             at = field.find(paste, at + 1)) {
            auto without = field;
            without.erase(at, paste.size());
            const auto distance = differingSpan(without, before);
            if (!pastedAt || distance < typed) {
                typed = distance;
                user = std::move(without);
                pastedAt = static_cast<std::int64_t>(at);
            }
        }
        // Not in the field: it landed and was edited since, or never landed. Either way the
        // field is the user's as it stands.
        if (!pastedAt)
            return std::nullopt;
    }
    UserTextAroundPaste result{unicode::toUtf8(user), pastedAt};
    bool keysBeforePaste = false; // the keys replaced the selection and the paste followed them

    // The user's keys replaced the selection: what stands where it was is short and unlike the
    // selected text, and the rest of the field is as it was. The keys belong at the caret the user
    // typed at, with the selected text kept.
    const auto start = static_cast<std::size_t>(std::clamp<std::int64_t>(
        outcome.selected.location, 0, static_cast<std::int64_t>(before.size())));
    const auto selected = static_cast<std::size_t>(std::clamp<std::int64_t>(
        outcome.selected.length, 0, static_cast<std::int64_t>(before.size() - start)));
    const std::u16string_view head = std::u16string_view(before).substr(0, start);
    const std::u16string_view rest = std::u16string_view(before).substr(start + selected);
    if (selected > 0 && user.size() >= head.size() + rest.size() &&
        std::u16string_view(user).starts_with(head) && std::u16string_view(user).ends_with(rest)) {
        const auto keys =
            std::u16string_view(user).substr(start, user.size() - rest.size() - start);
        if (differingSpan(keys, std::u16string_view(before).substr(start, selected)) >
            keys.size()) {
            const auto caret = static_cast<std::size_t>(std::clamp<std::int64_t>(
                outcome.caretBefore.value_or(static_cast<std::int64_t>(before.size())), 0,
                static_cast<std::int64_t>(before.size())));
            auto restored = before;
            restored.insert(caret, keys);
            result = {unicode::toUtf8(restored), static_cast<std::int64_t>(caret + keys.size())};
            typed = keys.size();
            keysBeforePaste = pastedAt == static_cast<std::int64_t>(start + keys.size());
        }
    }
    if (result.text == outcome.now)
        return std::nullopt;
    if (!paste.empty()) {
        const auto landedThenTyped = differingSpan(outcome.now, outcome.intended);
        // Typing after the paste leaves the caret after the typed keys; a paste that followed
        // keys typed over the selection leaves it after the paste, or after keys typed there
        // since (the caret is read after the field).
        const auto pasteEnd = *pastedAt + static_cast<std::int64_t>(paste.size());
        const bool caretAfterPaste =
            keysBeforePaste ? outcome.caretNow >= pasteEnd : outcome.caretNow == pasteEnd;
        if (landedThenTyped == 0 || landedThenTyped < typed ||
            (landedThenTyped == typed && !caretAfterPaste))
            return std::nullopt;
    }
    return result;
}

} // namespace pennial
