#include "base/secret_scrubber.hpp"

#include "base/json.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pennial {
namespace {

// Members whose values are secret wherever they appear: the auth backend's and our own session
// records, the sign-in code, the transform's text and context, the profile.
constexpr std::array secretMembers = {
    "access_token",
    "refresh_token",
    "provider_token",
    "provider_refresh_token",
    "accessToken",
    "refreshToken",
    "token",
    "email",
    "new_email",
    "userEmail",
    "phone",
    "text",
    "transformedText",
    "surroundingText",
    "documentPath",
    "windowTitle",
    "userDisplayNames",
    "userWritingContext",
    "user_display_names",
    "user_writing_context",
};

bool isSecretMember(std::string_view name) {
    return std::find(secretMembers.begin(), secretMembers.end(), name) != secretMembers.end();
}

void collectStrings(const Json& value, std::vector<std::string>& out) {
    if (value.is_string()) {
        out.push_back(value.get<std::string>());
    } else if (value.is_structured()) {
        for (const auto& element : value)
            collectStrings(element, out);
    }
}

void collectSecrets(const Json& value, std::vector<std::string>& out) {
    if (value.is_object()) {
        for (const auto& [name, member] : value.items()) {
            if (isSecretMember(name))
                collectStrings(member, out);
            else
                collectSecrets(member, out);
        }
    } else if (value.is_array()) {
        for (const auto& element : value)
            collectSecrets(element, out);
    }
}

// Byte ranges [first, second) of a text to take out.
using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

// Replaces the ranges (overlapping or touching ones as one) with the filtered mark.
void filterRanges(std::string& text, Ranges ranges) {
    if (ranges.empty())
        return;
    std::sort(ranges.begin(), ranges.end());
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t i = 0; i < ranges.size();) {
        auto [begin, end] = ranges[i];
        for (++i; i < ranges.size() && ranges[i].first <= end; ++i)
            end = std::max(end, ranges[i].second);
        out.append(text, copied, begin - copied);
        out += SecretScrubber::filtered;
        copied = end;
    }
    out.append(text, copied);
    text = std::move(out);
}

bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int hexValue(char c) {
    return isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
}
bool isLocalPartChar(char c) {
    return isAsciiAlpha(c) || isDigit(c) ||
           std::string_view("._%+-").find(c) != std::string_view::npos;
}
bool isDomainChar(char c) {
    return isAsciiAlpha(c) || isDigit(c) || c == '.' || c == '-';
}
bool isTokenChar(char c) {
    return isAsciiAlpha(c) || isDigit(c) || c == '-' || c == '_' || c == '.' || c == '=';
}

// Two letters or more ("de", "photography"), or an internationalised one in its ASCII form.
bool isTopLevelDomain(std::string_view label) {
    if (label.starts_with("xn--"))
        return label.size() > 4 && std::all_of(label.begin(), label.end(), [](char c) {
                   return isAsciiAlpha(c) || isDigit(c) || c == '-';
               });
    return label.size() >= 2 && std::all_of(label.begin(), label.end(), isAsciiAlpha);
}

// name@host.tld
void findEmailAddresses(std::string_view text, Ranges& found) {
    for (std::size_t at = text.find('@'); at != std::string_view::npos;
         at = text.find('@', at + 1)) {
        auto begin = at;
        while (begin > 0 && isLocalPartChar(text[begin - 1]))
            --begin;
        auto end = at + 1;
        while (end < text.size() && isDomainChar(text[end]))
            ++end;
        while (end > at + 1 && (text[end - 1] == '.' || text[end - 1] == '-'))
            --end;
        auto domain = text.substr(at + 1, end - at - 1);
        auto dot = domain.rfind('.');
        if (begin < at && dot != std::string_view::npos && dot > 0 &&
            isTopLevelDomain(domain.substr(dot + 1))) {
            found.emplace_back(begin, end);
            at = end - 1;
        }
    }
}

// Signed web tokens: base64url header "eyJ...", then a payload and a signature. A token cut
// after its header still carries the beginning of its payload, the holder's claims.
void findSignedTokens(std::string_view text, Ranges& found) {
    for (std::size_t at = text.find("eyJ"); at != std::string_view::npos;
         at = text.find("eyJ", at + 1)) {
        if (at > 0 && isTokenChar(text[at - 1]))
            continue;
        auto end = at;
        while (end < text.size() && isTokenChar(text[end]))
            ++end;
        auto dot = text.find('.', at);
        if (dot < end && dot + 1 < end && text[dot + 1] != '.') {
            found.emplace_back(at, end);
            at = end - 1;
        }
    }
}

// Exactly six digits standing alone: the form of a sign-in code.
void findCodes(std::string_view text, Ranges& found) {
    std::size_t at = 0;
    while (at < text.size()) {
        if (!isDigit(text[at])) {
            ++at;
            continue;
        }
        auto end = at;
        while (end < text.size() && isDigit(text[end]))
            ++end;
        bool alone = (at == 0 || !(isAsciiAlpha(text[at - 1]) || text[at - 1] == '.')) &&
                     (end == text.size() || !(isAsciiAlpha(text[end]) || text[end] == '.'));
        if (end - at == 6 && alone)
            found.emplace_back(at, end);
        at = end;
    }
}

void findByForm(std::string_view text, Ranges& found) {
    findEmailAddresses(text, found);
    findSignedTokens(text, found);
    findCodes(text, found);
}

// --- encoded forms ---

// A text with its escapes decoded (%XX; JSON's \", \\, \/, \n and the like, \uXXXX with
// surrogate pairs; \xXX), and for each decoded byte the source bytes it came from.
struct DecodedView {
    std::string text;
    std::vector<std::size_t> from, to;

    std::pair<std::size_t, std::size_t> source(std::pair<std::size_t, std::size_t> range) const {
        return {from[range.first], to[range.second - 1]};
    }
};

// Percent-encoding (URLs, forms) and backslash escapes (JSON, \u and \x included) are decoded
// apart: a text quoted in one form keeps the other's escapes as they are.
enum class Escapes { percent, backslash };
constexpr char escapeMark(Escapes kind) {
    return kind == Escapes::percent ? '%' : '\\';
}

std::optional<unsigned> hexNumber(std::string_view text, std::size_t at, std::size_t digits) {
    if (at + digits > text.size())
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (!isHexDigit(text[i]))
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(hexValue(text[i]));
    }
    return value;
}

void appendUtf8(std::string& out, unsigned point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xc0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3f));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xe0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (point & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (point & 0x3f));
    }
}

// The escape at text[at] (a '%' or a '\'): its decoded bytes appended to out, and its length;
// 0 when there is none there.
std::size_t decodeEscape(std::string_view text, std::size_t at, std::string& out) {
    if (text[at] == '%') {
        auto byte = hexNumber(text, at + 1, 2);
        if (!byte)
            return 0;
        out += static_cast<char>(*byte);
        return 3;
    }
    if (at + 1 >= text.size())
        return 0;
    switch (text[at + 1]) {
    case '"':
    case '\\':
    case '/':
    case '\'':
        out += text[at + 1];
        return 2;
    case 'n':
        out += '\n';
        return 2;
    case 'r':
        out += '\r';
        return 2;
    case 't':
        out += '\t';
        return 2;
    case 'b':
        out += '\b';
        return 2;
    case 'f':
        out += '\f';
        return 2;
    case 'x':
        if (auto byte = hexNumber(text, at + 2, 2)) {
            out += static_cast<char>(*byte);
            return 4;
        }
        return 0;
    case 'u': {
        auto unit = hexNumber(text, at + 2, 4);
        if (!unit || (*unit >= 0xdc00 && *unit <= 0xdfff))
            return 0;
        if (*unit < 0xd800 || *unit > 0xdbff) {
            appendUtf8(out, *unit);
            return 6;
        }
        auto low = text.substr(at + 6, 2) == "\\u" ? hexNumber(text, at + 8, 4) : std::nullopt;
        if (!low || *low < 0xdc00 || *low > 0xdfff)
            return 0;
        appendUtf8(out, 0x10000 + ((*unit - 0xd800) << 10) + (*low - 0xdc00));
        return 12;
    }
    }
    return 0;
}

// None when the text holds no escape of the kind.
std::optional<DecodedView> decodeEscapes(std::string_view text, Escapes kind) {
    auto mark = escapeMark(kind);
    if (text.find(mark) == std::string_view::npos)
        return std::nullopt;
    DecodedView view;
    bool decoded = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 0;
        auto before = view.text.size();
        if (text[at] == mark)
            length = decodeEscape(text, at, view.text);
        if (length == 0) {
            view.text += text[at];
            length = 1;
        } else {
            decoded = true;
        }
        for (auto i = before; i < view.text.size(); ++i) {
            view.from.push_back(at);
            view.to.push_back(at + length);
        }
        at += length;
    }
    if (!decoded)
        return std::nullopt;
    return view;
}

// Filters what find finds in the text as it stands and in its decoded forms: each decoding, and
// each after each ("%2540", text quoted in JSON inside JSON, a URL quoted in JSON).
template <class Find> void filterInEveryForm(std::string& text, Find find) {
    Ranges ranges;
    find(std::string_view(text), ranges);
    auto search = [&](const DecodedView& view) {
        Ranges found;
        find(std::string_view(view.text), found);
        for (auto range : found)
            ranges.push_back(view.source(range));
    };
    for (auto first : {Escapes::percent, Escapes::backslash}) {
        auto outer = decodeEscapes(text, first);
        if (!outer)
            continue;
        search(*outer);
        for (auto second : {Escapes::percent, Escapes::backslash}) {
            auto inner = decodeEscapes(outer->text, second);
            if (!inner)
                continue;
            // Back to the bytes of the text itself.
            for (std::size_t i = 0; i < inner->from.size(); ++i) {
                inner->to[i] = outer->to[inner->to[i] - 1];
                inner->from[i] = outer->from[inner->from[i]];
            }
            search(*inner);
        }
    }
    filterRanges(text, std::move(ranges));
}

} // namespace

// Every known value and line, sorted by its first four bytes and then longest first, with a
// bitmap of those first bytes: one pass over a text finds them all, however many there are.
struct SecretScrubber::Index {
    struct Needle {
        std::uint32_t key;
        std::string_view text;
    };
    std::vector<Needle> needles;
    std::vector<std::uint64_t> seen = std::vector<std::uint64_t>(1 << 10);

    static std::uint32_t keyAt(const char* bytes) {
        std::uint32_t key;
        std::memcpy(&key, bytes, sizeof key);
        return key;
    }
    static std::size_t slot(std::uint32_t key) { return (key * 2654435761u) >> 16; }

    void add(std::string_view text) {
        auto key = keyAt(text.data());
        needles.push_back({key, text});
        seen[slot(key) / 64] |= std::uint64_t(1) << (slot(key) % 64);
    }
    void sort() {
        std::sort(needles.begin(), needles.end(), [](const Needle& a, const Needle& b) {
            return a.key != b.key ? a.key < b.key : a.text.size() > b.text.size();
        });
    }

    // A text stops short of a secret's end where it was cut: an ellipsis, or its end.
    static bool isCut(std::string_view text, std::size_t at) {
        auto rest = text.substr(at);
        return rest.empty() || rest.starts_with("…") || rest.starts_with("...");
    }

    void find(std::string_view text, Ranges& found) const {
        if (text.size() < minSecretLength || needles.empty())
            return;
        for (std::size_t at = 0; at + minSecretLength <= text.size(); ++at) {
            auto key = keyAt(text.data() + at);
            if (!(seen[slot(key) / 64] & (std::uint64_t(1) << (slot(key) % 64))))
                continue;
            auto first = std::lower_bound(
                needles.begin(), needles.end(), key,
                [](const Needle& needle, std::uint32_t wanted) { return needle.key < wanted; });
            std::size_t longest = 0;
            for (auto needle = first; needle != needles.end() && needle->key == key; ++needle) {
                auto rest = text.substr(at);
                auto common = std::mismatch(needle->text.begin(), needle->text.end(), rest.begin(),
                                            rest.end())
                                  .first -
                              needle->text.begin();
                auto length = static_cast<std::size_t>(common);
                if (length == needle->text.size() ||
                    (length >= minCutLength && isCut(text, at + length)))
                    longest = std::max(longest, length);
            }
            if (longest > 0)
                found.emplace_back(at, at + longest);
        }
    }
};

SecretScrubber::SecretScrubber() = default;
SecretScrubber::~SecretScrubber() = default;

std::size_t SecretScrubber::Secret::bytes() const {
    auto total = text.size();
    for (const auto& line : lines)
        total += line.size();
    return total;
}

void SecretScrubber::remember(std::string_view secret) {
    // A text is quoted without the spaces around it as often as with them.
    auto first = secret.find_first_not_of(" \t\r\n");
    auto trimmed = first == std::string_view::npos
                       ? std::string_view()
                       : secret.substr(first, secret.find_last_not_of(" \t\r\n") - first + 1);
    std::lock_guard lock(mutex_);
    keep(trimmed);
    if (trimmed.size() != secret.size())
        keep(secret);
}

void SecretScrubber::keep(std::string_view secret) {
    if (secret.size() < minSecretLength || secret == filtered)
        return;
    secret = secret.substr(0, maxSecretLength);
    auto known = std::find_if(secrets_.begin(), secrets_.end(),
                              [&](const Secret& kept) { return kept.text == secret; });
    if (known != secrets_.end()) {
        bytes_ -= known->bytes();
        secrets_.erase(known);
    }
    Secret kept{std::string(secret), {}};
    // Messages quote one line of a text ("line 2: ..."), or its lines joined with a space.
    bool severalLines = secret.find('\n') != std::string_view::npos;
    for (std::size_t begin = 0;
         severalLines && begin < secret.size() && kept.lines.size() < maxLinesPerSecret;) {
        auto end = std::min(secret.find('\n', begin), secret.size());
        auto line = secret.substr(begin, end - begin);
        auto first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos) {
            line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
            if (line.size() >= minLineLength && line != filtered)
                kept.lines.emplace_back(line);
        }
        begin = end + 1;
    }
    bytes_ += kept.bytes();
    secrets_.push_back(std::move(kept));
    while (secrets_.size() > maxSecrets || bytes_ > maxSecretBytes) {
        bytes_ -= secrets_.front().bytes();
        secrets_.pop_front();
    }
    indexStale_ = true;
}

void SecretScrubber::rememberSecretsIn(std::string_view jsonText) {
    std::vector<std::string> found;
    try {
        collectSecrets(json::parse(jsonText), found);
    } catch (const std::exception&) {
        // Not JSON: nothing to pick out.
    }
    for (const auto& secret : found)
        remember(secret);
}

std::string SecretScrubber::scrub(std::string_view text) const {
    std::unique_lock lock(mutex_);
    return scrubLocked(text, lock);
}

std::optional<std::string> SecretScrubber::tryScrub(std::string_view text) const {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock())
        return std::nullopt;
    return scrubLocked(text, lock);
}

std::string SecretScrubber::scrubLocked(std::string_view text,
                                        std::unique_lock<std::mutex>& lock) const {
    if (indexStale_) {
        index_ = std::make_unique<Index>();
        for (const auto& secret : secrets_) {
            index_->add(secret.text);
            for (const auto& line : secret.lines)
                index_->add(line);
        }
        index_->sort();
        indexStale_ = false;
    }
    std::string out(text);
    filterInEveryForm(out,
                      [&](std::string_view view, Ranges& found) { index_->find(view, found); });
    lock.unlock();
    filterInEveryForm(out, findByForm);
    return out;
}

} // namespace pennial
