#include "services/supabase_url.hpp"

#include "services/http_client.hpp"
#include "services/url.hpp"

#include <cctype>
#include <fmt/format.h>

namespace pennial {

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
    if (!isValidURL(url))
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
