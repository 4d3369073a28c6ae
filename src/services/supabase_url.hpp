#pragma once
// Addresses on the hosted project: its base address joined with a path and a query.

#include <optional>
#include <string>
#include <string_view>

namespace pennial {

// The base address without its leading and trailing "/", then the path, then "?" and the query
// when there is one. Throws HTTPError::invalidURL when the result is not an absolute URL.
std::string supabaseURL(std::string_view base, std::string_view path,
                        std::optional<std::string_view> query = std::nullopt);

// A value made safe for a query string: everything but letters, digits and "-._~" is
// percent-encoded.
std::string percentEncodeQueryValue(std::string_view value);

// The path of an absolute URL, without query or fragment ("" when it has none).
std::string urlPath(std::string_view url);

} // namespace pennial
