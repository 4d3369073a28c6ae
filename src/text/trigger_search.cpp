#include "text/trigger_search.hpp"

#include <unicode/utf16.h>

namespace pennial {
namespace {

constexpr std::size_t none = std::u16string_view::npos;

// The engine's \s (the White_Space property) and \w, with the ASCII answers inlined: the scans
// below run over every character of long white-space runs.
bool isSpace(char32_t c) {
    if (c < 0x80)
        return c == u' ' || (c >= 0x09 && c <= 0x0D);
    return unicode::isWhitespace(c);
}

bool isWord(char32_t c) {
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'_';
    return unicode::isWordCharacter(c);
}

bool isLineTerminator(char16_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Where a multi-line `$` holds: at the end of the text, or before a line terminator, except
// between the two halves of a CR LF pair.
bool isLineEnd(std::u16string_view text, std::size_t i) {
    if (i >= text.size())
        return true;
    if (!isLineTerminator(text[i]))
        return false;
    return !(text[i] == u'\n' && i > 0 && text[i - 1] == u'\r');
}

// A maximal run of characters of one class, with the last line end inside it.
struct Run {
    std::size_t start = 0;
    std::size_t end = 0; // the first position past the run
    std::size_t lastLineEnd = none;
};

// Answers "where does the run starting here end" for positions that never move backwards, scanning
// every character at most once: a position inside the last run shares that run's end.
template <bool (*member)(char32_t)> class RunCache {
public:
    explicit RunCache(std::u16string_view text) : text_(text) {}

    const Run& from(std::size_t position) {
        if (position >= run_.start && position < run_.end)
            return run_;
        run_ = Run{position, position, none};
        std::size_t i = position;
        while (i < text_.size()) {
            std::size_t next = i;
            UChar32 c;
            U16_NEXT(text_.data(), next, text_.size(), c);
            if (!member(char32_t(c)))
                break;
            if (isLineEnd(text_, i))
                run_.lastLineEnd = i;
            i = next;
        }
        run_.end = i;
        return run_;
    }

private:
    std::u16string_view text_;
    Run run_;
};

} // namespace

TriggerSearch::TriggerSearch(std::u16string_view text, std::u16string_view pattern)
    : text_(text), pattern_(pattern) {}

// At a pattern ending at a: \s* takes the whole white-space run [a, w) and \w+ the whole word run
// [w, c). The two classes are disjoint and no word character is a line terminator, so giving back
// characters never helps: the match exists exactly when the run is not empty and $ holds at c.
std::vector<PatternMatch> TriggerSearch::completeTriggers() const {
    std::vector<PatternMatch> matches;
    if (pattern_.empty())
        return matches;
    RunCache<isSpace> spaces(text_);
    RunCache<isWord> words(text_);
    for (std::size_t start = text_.find(pattern_); start != none;) {
        std::size_t w = spaces.from(start + pattern_.size()).end;
        std::size_t c = words.from(w).end;
        std::size_t resume = start + 1;
        if (c > w && isLineEnd(text_, c)) {
            matches.push_back({{start, c - start}, {w, c - w}});
            resume = c;
        }
        start = text_.find(pattern_, resume);
    }
    return matches;
}

// At a pattern ending at a, with the white-space run [a, w) and the word run [w, c), the engine
// first tries the longest name [w, c): it stands when white space and then a line end follow c.
// Shorter names put a word character before the look-ahead, where $ never holds. Giving back white
// space leaves an empty name at some b in [a, w); the look-ahead then holds when a line end lies
// in [b, w], and since none lies at w, the engine stops at the last line end inside [a, w).
std::optional<PatternMatch> TriggerSearch::lastPartialTrigger() const {
    std::optional<PatternMatch> last;
    if (pattern_.empty())
        return last;
    RunCache<isSpace> spaces(text_), trailing(text_);
    RunCache<isWord> words(text_);
    for (std::size_t start = text_.find(pattern_); start != none;) {
        std::size_t a = start + pattern_.size();
        const Run& gap = spaces.from(a);
        std::size_t w = gap.end;
        std::size_t c = words.from(w).end;
        const Run& tail = trailing.from(c);
        std::size_t resume = start + 1;
        if ((tail.lastLineEnd != none && tail.lastLineEnd >= c) || isLineEnd(text_, tail.end)) {
            last = PatternMatch{{start, c - start}, {w, c - w}};
            resume = c;
        } else if (gap.lastLineEnd != none && gap.lastLineEnd >= a) {
            std::size_t d = gap.lastLineEnd;
            last = PatternMatch{{start, d - start}, {d, 0}};
            resume = d;
        }
        start = text_.find(pattern_, resume);
    }
    return last;
}

} // namespace pennial
