#pragma once
// A stand-in for the auth service: hands out a fixed token, or fails as nobody signed in.

#include "services/access_token_provider.hpp"
#include "services/auth_error.hpp"

#include <atomic>
#include <optional>

namespace pennial::testing {

class StaticTokenProvider : public AccessTokenProvider {
public:
    explicit StaticTokenProvider(std::optional<std::string> token = "test-token")
        : token_(std::move(token)) {}

    Awaitable<std::string> getValidAccessToken() override {
        ++calls;
        if (!token_)
            throw AuthError::noSession();
        co_return *token_;
    }

    std::atomic<int> calls{0};

private:
    std::optional<std::string> token_;
};

} // namespace pennial::testing
