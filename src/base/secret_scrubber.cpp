#include "base/secret_scrubber.hpp"

#include "base/json.hpp"

#include <algorithm>
#include <array>
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

void replaceAll(std::string& text, std::string_view secret) {
    for (auto at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + SecretScrubber::filtered.size())) {
        text.replace(at, secret.size(), SecretScrubber::filtered);
    }
}

bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
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

// Replaces [begin, end) and answers where scanning goes on.
std::size_t filter(std::string& text, std::size_t begin, std::size_t end) {
    text.replace(begin, end - begin, SecretScrubber::filtered);
    return begin + SecretScrubber::filtered.size();
}

// name@host.tld, the top-level domain two letters or more.
void filterEmailAddresses(std::string& text) {
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1)) {
        auto begin = at;
        while (begin > 0 && isLocalPartChar(text[begin - 1]))
            --begin;
        auto end = at + 1;
        while (end < text.size() && isDomainChar(text[end]))
            ++end;
        while (end > at + 1 && (text[end - 1] == '.' || text[end - 1] == '-'))
            --end;
        auto domain = std::string_view(text).substr(at + 1, end - at - 1);
        auto dot = domain.rfind('.');
        bool looksLikeAddress = begin < at && dot != std::string_view::npos && dot > 0 &&
                                domain.size() - dot > 2 &&
                                std::all_of(domain.begin() + dot + 1, domain.end(), isAsciiAlpha);
        if (looksLikeAddress)
            at = filter(text, begin, end) - 1;
    }
}

// Signed web tokens: base64url header "eyJ...", then a payload and a signature.
void filterSignedTokens(std::string& text) {
    for (std::size_t at = text.find("eyJ"); at != std::string::npos;
         at = text.find("eyJ", at + 1)) {
        if (at > 0 && isTokenChar(text[at - 1]))
            continue;
        auto end = at;
        while (end < text.size() && isTokenChar(text[end]))
            ++end;
        if (std::count(text.begin() + at, text.begin() + end, '.') >= 2)
            at = filter(text, at, end) - 1;
    }
}

// Exactly six digits standing alone: the form of a sign-in code.
void filterCodes(std::string& text) {
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
        at = end - at == 6 && alone ? filter(text, at, end) : end;
    }
}

} // namespace

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
    auto known = std::find(secrets_.begin(), secrets_.end(), secret);
    if (known != secrets_.end()) {
        bytes_ -= known->size();
        secrets_.erase(known);
    }
    secrets_.emplace_back(secret);
    bytes_ += secret.size();
    while (secrets_.size() > maxSecrets || bytes_ > maxSecretBytes) {
        bytes_ -= secrets_.front().size();
        secrets_.pop_front();
    }
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
    std::string out(text);
    // Longest first, so a value that contains another is taken out whole.
    std::vector<std::string_view> known(secrets_.begin(), secrets_.end());
    std::sort(known.begin(), known.end(),
              [](std::string_view a, std::string_view b) { return a.size() > b.size(); });
    for (auto secret : known)
        replaceAll(out, secret);
    lock.unlock();
    filterEmailAddresses(out);
    filterSignedTokens(out);
    filterCodes(out);
    return out;
}

} // namespace pennial
