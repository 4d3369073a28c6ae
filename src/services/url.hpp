#pragma once
// Whether text built from a base address and a path can be sent as a request URL.

#include <string_view>

namespace pennial {

// An absolute URL with a scheme and a host, without white space or other characters a URL
// cannot hold.
bool isValidURL(std::string_view text);

} // namespace pennial
