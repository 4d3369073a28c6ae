#include "base/unicode.hpp"

#include <algorithm>
#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace pennial::unicode {
namespace {

icu::UnicodeString toIcu(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), int32_t(utf8.size())));
}

std::string fromIcu(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// Decodes one code point at i, advancing i; invalid bytes decode as U+FFFD one byte at a time.
char32_t next(std::string_view s, std::size_t& i) {
    int32_t index = int32_t(i);
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), index, int32_t(s.size()), c);
    i = std::size_t(index);
    return c < 0 ? U'\uFFFD' : char32_t(c);
}

std::unique_ptr<icu::BreakIterator> characterIterator(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return nullptr;
    it->setText(text);
    return it;
}

} // namespace

std::u16string toUtf16(std::string_view utf8) {
    auto text = toIcu(utf8);
    return std::u16string(text.getBuffer(), std::size_t(text.length()));
}

std::string toUtf8(std::u16string_view utf16) {
    return fromIcu(icu::UnicodeString(utf16.data(), int32_t(utf16.size())));
}

std::string sanitizeUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t before = i;
        if (next(text, i) == U'\uFFFD' &&
            !(i - before == 3 && text.substr(before, 3) == "\xEF\xBF\xBD"))
            return fromIcu(toIcu(text));
    }
    return std::string(text);
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();)
        units += next(utf8, i) > 0xFFFF ? 2 : 1;
    return units;
}

namespace {

bool isTrailSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

std::size_t sharedStart(std::u16string_view a, std::u16string_view b, std::size_t limit) {
    std::size_t shared = 0;
    while (shared < a.size() && shared < b.size() && shared < limit && a[shared] == b[shared])
        ++shared;
    while (shared > 0 && ((shared < a.size() && isTrailSurrogate(a[shared])) ||
                          (shared < b.size() && isTrailSurrogate(b[shared]))))
        --shared;
    return shared;
}

std::size_t sharedEnd(std::u16string_view a, std::u16string_view b) {
    std::size_t shared = 0;
    while (shared < a.size() && shared < b.size() &&
           a[a.size() - 1 - shared] == b[b.size() - 1 - shared])
        ++shared;
    // The first shared unit is the same in both texts.
    while (shared > 0 && isTrailSurrogate(a[a.size() - shared]))
        --shared;
    return shared;
}

std::optional<std::size_t> byteOffsetForUtf16(std::string_view utf8, std::size_t utf16Offset) {
    std::size_t units = 0, i = 0;
    while (units < utf16Offset && i < utf8.size())
        units += next(utf8, i) > 0xFFFF ? 2 : 1;
    if (units != utf16Offset)
        return std::nullopt;
    return i;
}

std::size_t utf16OffsetForByte(std::string_view utf8, std::size_t byteOffset) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size() && i < byteOffset;)
        units += next(utf8, i) > 0xFFFF ? 2 : 1;
    return units;
}

std::optional<std::string> sliceUtf16(std::string_view utf8, std::size_t start,
                                      std::size_t length) {
    auto from = byteOffsetForUtf16(utf8, start);
    if (!from)
        return std::nullopt;
    auto to = byteOffsetForUtf16(utf8.substr(*from), length);
    if (!to)
        return std::nullopt;
    return std::string(utf8.substr(*from, *to));
}

std::size_t graphemeCount(std::string_view utf8) {
    bool ascii = true;
    for (unsigned char c : utf8)
        if (c >= 0x80 || c == '\r') {
            ascii = false;
            break;
        }
    if (ascii)
        return utf8.size();
    auto text = toIcu(utf8);
    auto it = characterIterator(text);
    if (!it)
        return std::size_t(text.countChar32());
    std::size_t count = 0;
    for (int32_t pos = it->next(); pos != icu::BreakIterator::DONE; pos = it->next())
        ++count;
    return count;
}

std::string graphemePrefix(std::string_view utf8, std::size_t maxCharacters) {
    if (utf8.size() <= maxCharacters)
        return std::string(utf8);
    auto text = toIcu(utf8);
    auto it = characterIterator(text);
    if (!it)
        return std::string(utf8);
    int32_t end = 0;
    for (std::size_t n = 0; n < maxCharacters; ++n) {
        int32_t pos = it->next();
        if (pos == icu::BreakIterator::DONE)
            return std::string(utf8);
        end = pos;
    }
    return fromIcu(text.tempSubString(0, end));
}

std::string dropLastGrapheme(std::string_view utf8) {
    if (utf8.empty())
        return {};
    auto text = toIcu(utf8);
    auto it = characterIterator(text);
    if (!it)
        return std::string(utf8.substr(0, utf8.size() - 1));
    int32_t start = it->preceding(text.length());
    return fromIcu(text.tempSubString(0, start == icu::BreakIterator::DONE ? 0 : start));
}

FoldedText::FoldedText(std::string_view haystack, std::size_t from) {
    folded_.reserve(haystack.size());
    byteAt_.reserve(haystack.size());
    // Fold code point by code point so a match maps back to a byte offset in the original.
    for (std::size_t i = from; i < haystack.size();) {
        std::size_t start = i;
        char32_t c = next(haystack, i);
        if (c < 0x80) {
            folded_.push_back(char16_t(c >= 'A' && c <= 'Z' ? c + 32 : c));
            byteAt_.push_back(start);
            continue;
        }
        char16_t units[2];
        int32_t n = 0;
        UChar32 f = u_foldCase(UChar32(c), U_FOLD_CASE_DEFAULT);
        U16_APPEND_UNSAFE(units, n, f);
        for (int32_t k = 0; k < n; ++k) {
            folded_.push_back(units[k]);
            byteAt_.push_back(start);
        }
    }
}

std::optional<std::size_t> FoldedText::find(std::string_view needle,
                                            std::optional<std::size_t> before) const {
    auto needleFolded = toIcu(needle);
    needleFolded.foldCase();
    std::u16string_view pin(needleFolded.getBuffer(), std::size_t(needleFolded.length()));
    if (pin.empty())
        return byteAt_.empty() ? std::nullopt : std::optional(byteAt_.front());
    std::u16string_view hay(folded_);
    if (before) {
        // Only matches starting before the limit count: search no further than they can reach.
        auto limit = std::size_t(std::lower_bound(byteAt_.begin(), byteAt_.end(), *before) -
                                 byteAt_.begin());
        hay = hay.substr(0, std::min(hay.size(), limit + pin.size() - 1));
    }
    auto pos = hay.find(pin);
    if (pos == std::u16string_view::npos)
        return std::nullopt;
    return byteAt_[pos];
}

std::optional<std::size_t> findCaseInsensitive(std::string_view haystack, std::string_view needle,
                                               std::size_t from) {
    if (needle.empty())
        return from <= haystack.size() ? std::optional(from) : std::nullopt;
    return FoldedText(haystack, from).find(needle);
}

std::string lowercased(std::string_view utf8) {
    auto text = toIcu(utf8);
    text.toLower(icu::Locale::getRoot());
    return fromIcu(text);
}

std::string nfc(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    const auto* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return std::string(utf8);
    auto text = toIcu(utf8);
    if (normalizer->isNormalized(text, status) && U_SUCCESS(status))
        return std::string(utf8);
    status = U_ZERO_ERROR;
    auto normal = normalizer->normalize(text, status);
    return U_SUCCESS(status) ? fromIcu(normal) : std::string(utf8);
}

bool isWhitespace(char32_t c) {
    return u_hasBinaryProperty(UChar32(c), UCHAR_WHITE_SPACE);
}

bool isHorizontalWhitespace(char32_t c) {
    return c == U'\t' || u_charType(UChar32(c)) == U_SPACE_SEPARATOR;
}

bool isWordCharacter(char32_t c) {
    // ICU's \w: alphabetic, marks, decimal digits, connector punctuation, join controls.
    auto ch = UChar32(c);
    return u_hasBinaryProperty(ch, UCHAR_ALPHABETIC) || u_charType(ch) == U_NON_SPACING_MARK ||
           u_charType(ch) == U_ENCLOSING_MARK || u_charType(ch) == U_COMBINING_SPACING_MARK ||
           u_charType(ch) == U_DECIMAL_DIGIT_NUMBER || u_charType(ch) == U_CONNECTOR_PUNCTUATION ||
           u_hasBinaryProperty(ch, UCHAR_JOIN_CONTROL);
}

namespace {
template <class Keep> std::string trimmed(std::string_view utf8, Keep isTrimmed) {
    std::size_t begin = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        if (!isTrimmed(next(utf8, i)))
            break;
        begin = i;
    }
    // Walk back from the end: only the trailing run is decoded, not the whole text.
    auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    int32_t end = int32_t(utf8.size());
    while (end > int32_t(begin)) {
        int32_t at = end;
        UChar32 c;
        U8_PREV(bytes, int32_t(begin), at, c);
        if (!isTrimmed(c < 0 ? U'\uFFFD' : char32_t(c)))
            break;
        end = at;
    }
    return std::string(utf8.substr(begin, std::size_t(end) - begin));
}
} // namespace

std::string trimWhitespaceAndNewlines(std::string_view utf8) {
    return trimmed(utf8, isWhitespace);
}

std::string trimHorizontalWhitespace(std::string_view utf8) {
    return trimmed(utf8, isHorizontalWhitespace);
}

std::size_t trailingWhitespaceStart(std::string_view utf8) {
    auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    int32_t end = int32_t(utf8.size());
    while (end > 0) {
        int32_t at = end;
        UChar32 c;
        U8_PREV(bytes, 0, at, c);
        if (c < 0 || !isWhitespace(char32_t(c)))
            break;
        end = at;
    }
    return std::size_t(end);
}

std::string capitalized(std::string_view utf8) {
    auto text = toIcu(utf8);
    // No iterator given: ICU breaks at words, and lowers what follows each word's first letter.
    text.toTitle(nullptr, icu::Locale::getRoot());
    return fromIcu(text);
}

std::string escapeRegex(std::string_view literal) {
    static constexpr std::string_view meta = R"(\^$.|?*+()[]{})";
    std::string out;
    out.reserve(literal.size() * 2);
    for (char c : literal) {
        if (meta.find(c) != std::string_view::npos)
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

struct Regex::Impl {
    std::unique_ptr<icu::RegexPattern> pattern;
};

std::optional<Regex> Regex::compile(std::string_view pattern) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(toIcu(pattern), UREGEX_MULTILINE, parseError, status));
    if (U_FAILURE(status) || !compiled)
        return std::nullopt;
    Regex regex;
    auto impl = std::make_shared<Impl>();
    impl->pattern = std::move(compiled);
    regex.impl_ = std::move(impl);
    return regex;
}

std::vector<RegexMatch> Regex::findAll(std::u16string_view text) const {
    std::vector<RegexMatch> matches;
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString input(false, text.data(), int32_t(text.size())); // read-only alias
    std::unique_ptr<icu::RegexMatcher> matcher(impl_->pattern->matcher(input, status));
    if (U_FAILURE(status))
        return matches;
    int32_t groups = matcher->groupCount();
    while (matcher->find(status) && U_SUCCESS(status)) {
        RegexMatch match;
        for (int32_t g = 0; g <= groups; ++g) {
            int32_t start = matcher->start(g, status);
            int32_t end = matcher->end(g, status);
            if (U_FAILURE(status) || start < 0) {
                status = U_ZERO_ERROR;
                match.groups.emplace_back(std::nullopt);
            } else {
                match.groups.emplace_back(Utf16Range{std::size_t(start), std::size_t(end - start)});
            }
        }
        matches.push_back(std::move(match));
    }
    return matches;
}

} // namespace pennial::unicode
