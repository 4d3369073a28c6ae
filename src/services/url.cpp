#include "services/url.hpp"

#include <curl/curl.h>
#include <string>

namespace pennial {

bool isValidURL(std::string_view text) {
    if (text.empty())
        return false;
    CURLU* url = curl_url();
    std::string copy(text);
    bool valid =
        curl_url_set(url, CURLUPART_URL, copy.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
    curl_url_cleanup(url);
    return valid;
}

} // namespace pennial
