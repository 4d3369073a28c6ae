#include "services/supabase_url.hpp"

#include "services/http_client.hpp"

#include <cctype>
#include <fmt/format.h>

namespace pennial {
namespace {

bool isSchemeCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

// Characters a URL may carry as they stand; anything else (blanks, quotes, controls, non-ASCII)
// makes the text no URL.
bool isUrlCharacter(char c) {
    if (std::isalnum(static_cast<unsigned char>(c)))
        return true;
    return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(c) != std::string_view::npos;
}

bool isAbsoluteUrl(std::string_view text) {
    auto colon = text.find(':');
    if (colon == 0 || colon == std::string_view::npos ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (char c : text.substr(0, colon))
        if (!isSchemeCharacter(c))
            return false;
    if (text.substr(colon + 1, 2) != "//" || colon + 3 >= text.size() || text[colon + 3] == '/')
        return false; // no host
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isUrlCharacter(text[i]))
            return false;
        if (text[i] == '%' &&
            (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
             !std::isxdigit(static_cast<unsigned char>(text[i + 2]))))
            return false;
    }
    return true;
}

} // namespace

std::string supabaseURL(std::string_view base, std::string_view path,
                        std::optional<std::string_view> query) {
    while (!base.empty() && base.front() == '/')
        base.remove_prefix(1);
    while (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    std::string url(base);
    url += path;
    if (query) {
        url += '?';
        url += *query;
    }
    if (!isAbsoluteUrl(url))
        throw HTTPError::invalidURL();
    return url;
}

std::string percentEncodeQueryValue(std::string_view value) {
    std::string encoded;
    for (char c : value) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~')
            encoded += c;
        else
            encoded += fmt::format("%{:02X}", byte);
    }
    return encoded;
}

std::string urlPath(std::string_view url) {
    auto scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    auto start = url.find_first_of("/?#", scheme + 3);
    if (start == std::string_view::npos || url[start] != '/')
        return {};
    auto end = url.find_first_of("?#", start);
    return std::string(url.substr(start, end == std::string_view::npos ? url.npos : end - start));
}

} // namespace pennial
