#pragma once
// The words of the sign-in screen that depend on what happened or on the typed address: the error
// line for a failed code request or verification, and the webmail shortcut for the address.

#include <exception>
#include <string>
#include <string_view>

namespace pennial {

// The one line shown under the field for a failure of a code request or a verification. The auth
// backend's own message reaches the user unchanged where it explains a refusal.
std::string signInErrorMessage(std::exception_ptr error);

struct EmailProviderInfo {
    std::string label; // follows "Click here to "
    std::string url;
    bool operator==(const EmailProviderInfo&) const = default;
};

// The web inbox of the address's provider when its domain is one of the big consumer mail
// domains (matched whole, ignoring case), otherwise the default mail application.
EmailProviderInfo emailProviderInfo(std::string_view email);

} // namespace pennial
