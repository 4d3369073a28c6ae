#pragma once
// Text helpers over ICU. Strings are UTF-8 at every interface; offsets into a field's text are
// UTF-16 code units; "characters" (caps, counts) are grapheme clusters.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pennial::unicode {

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);
// Invalid sequences become U+FFFD, so the result is always valid UTF-8.
std::string sanitizeUtf8(std::string_view text);

std::size_t utf16Length(std::string_view utf8);
// Byte index of a UTF-16 offset; none past the end or inside a surrogate pair.
std::optional<std::size_t> byteOffsetForUtf16(std::string_view utf8, std::size_t utf16Offset);
std::size_t utf16OffsetForByte(std::string_view utf8, std::size_t byteOffset);
// The text in [start, start + length) counted in UTF-16 units; none when out of range.
std::optional<std::string> sliceUtf16(std::string_view utf8, std::size_t start, std::size_t length);

// How many UTF-16 units two texts share at their start (at most limit), or at their end, in whole
// characters: a surrogate pair is never split.
std::size_t sharedStart(std::u16string_view a, std::u16string_view b,
                        std::size_t limit = std::u16string_view::npos);
std::size_t sharedEnd(std::u16string_view a, std::u16string_view b);

std::size_t graphemeCount(std::string_view utf8);
// The first maxCharacters grapheme clusters.
std::string graphemePrefix(std::string_view utf8, std::size_t maxCharacters);
// Removes the last grapheme cluster (Backspace).
std::string dropLastGrapheme(std::string_view utf8);

// A text case-folded once, to search for many needles ignoring case.
class FoldedText {
public:
    explicit FoldedText(std::string_view utf8, std::size_t from = 0);
    // Byte offset, in the original text, of the first case-insensitive occurrence of needle;
    // with `before`, only an occurrence that starts before that byte offset counts.
    std::optional<std::size_t> find(std::string_view needle,
                                    std::optional<std::size_t> before = std::nullopt) const;

private:
    std::u16string folded_;
    std::vector<std::size_t> byteAt_; // original byte offset of each folded unit
};

// Byte offset of the first case-insensitive occurrence of needle at or after from.
std::optional<std::size_t> findCaseInsensitive(std::string_view haystack, std::string_view needle,
                                               std::size_t from = 0);
std::string lowercased(std::string_view utf8);
std::string nfc(std::string_view utf8);

bool isWhitespace(char32_t c);           // any Unicode white space, line breaks included
bool isHorizontalWhitespace(char32_t c); // spaces and tabs, no line breaks
bool isWordCharacter(char32_t c);        // what \w matches in the regex engine
std::string trimWhitespaceAndNewlines(std::string_view utf8);
std::string trimHorizontalWhitespace(std::string_view utf8);
// Byte offset where the text's trailing run of white space (line breaks included) begins; the
// text's size when it ends in none.
std::size_t trailingWhitespaceStart(std::string_view utf8);

// Word capitalisation: the first letter of each word upper case, its other letters lower case.
std::string capitalized(std::string_view utf8);

// A pattern that matches literal exactly: every metacharacter escaped.
std::string escapeRegex(std::string_view literal);

struct Utf16Range {
    std::size_t location = 0;
    std::size_t length = 0;
    std::size_t end() const { return location + length; }
    bool operator==(const Utf16Range&) const = default;
};

struct RegexMatch {
    std::vector<std::optional<Utf16Range>> groups; // group 0 is the whole match
};

// A compiled ICU expression; `$` matches at every line end. Safe to share between threads.
class Regex {
public:
    static std::optional<Regex> compile(std::string_view pattern);
    std::vector<RegexMatch> findAll(std::u16string_view text) const;
    std::vector<RegexMatch> findAll(std::string_view utf8) const { return findAll(toUtf16(utf8)); }

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace pennial::unicode
