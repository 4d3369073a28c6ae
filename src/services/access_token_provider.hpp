#pragma once
// Where the services get the signed-in user's bearer token. The auth service is the one real
// source: it refreshes a token close to expiry and lets concurrent callers share one refresh.

#include "base/runtime.hpp"

#include <string>

namespace pennial {

class AccessTokenProvider {
public:
    virtual ~AccessTokenProvider() = default;
    // Throws AuthError (noSession, sessionExpired, ...) when there is no usable token.
    virtual Awaitable<std::string> getValidAccessToken() = 0;
};

} // namespace pennial
