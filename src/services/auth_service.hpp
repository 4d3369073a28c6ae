#pragma once
// Signs the user in with a one-time code sent by e-mail, keeps the session in memory and in the
// secret store, hands out valid access tokens (refreshing within 60 s of expiry, one refresh shared
// by every caller) and signs the user out.

#include "base/json.hpp"
#include "base/runtime.hpp"
#include "services/access_token_provider.hpp"
#include "services/auth_session.hpp"
#include "services/http_client.hpp"
#include "services/keychain_store.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

struct AuthServiceOptions {
    // Every auth request ends after this long: the auth client's request and resource time-out.
    std::chrono::milliseconds requestTimeout{10'000};
    // The wall clock that session expiry is measured against.
    std::function<std::chrono::system_clock::time_point()> now = [] {
        return std::chrono::system_clock::now();
    };
};

// Owned through a shared pointer: a refresh in flight keeps the service alive until it ends.
class AuthService : public Actor,
                    public AccessTokenProvider,
                    public std::enable_shared_from_this<AuthService> {
public:
    // The secret-store account of the session item.
    static constexpr const char* sessionKeychainKey = "session";
    // A token this close to its expiry is refreshed before it is handed out.
    static constexpr std::chrono::seconds refreshMargin{60};
    // At start-up, a stored session this close to its expiry is refreshed first.
    static constexpr std::chrono::seconds startupRefreshMargin{300};

    AuthService(std::shared_ptr<HTTPClient> httpClient, std::shared_ptr<KeychainStore> keychain,
                std::string supabaseURL, std::string supabaseAnonKey,
                AuthServiceOptions options = {});
    ~AuthService() override;

    // The stored session, refreshed first when it expires within 300 s; none when there is no
    // usable one. Never throws (but for the caller's own cancellation).
    Awaitable<std::optional<AuthSession>> loadExistingSession();
    // Asks the hosted auth interface to e-mail a code. Throws AuthError, or HTTPError::invalidURL.
    Awaitable<void> requestOTP(std::string email);
    // Signs in with the code. Throws AuthError, or HTTPError::invalidURL. A session the secret
    // store refuses signs nobody in (keychainError): it is kept aside instead, since the code is
    // spent, and the next verification for the same address stores that one without asking the
    // server again.
    Awaitable<AuthSession> verifyOTP(std::string email, std::string code);
    Awaitable<std::string> getValidAccessToken() override;
    // Ends the session in memory and in the secret store, and abandons a refresh in flight.
    Awaitable<void> signOut();

    Awaitable<std::optional<AuthSession>> currentSession();
    // Whether the last loadExistingSession could not tell: the keyring was locked or did not
    // answer in time, so a session may well be stored.
    Awaitable<bool> storedSessionUndecided();
    // The keyring's status when the last loadExistingSession could not read it at all (locked,
    // silent, missing, refusing); none when it could.
    Awaitable<std::optional<std::int32_t>> storedSessionUnreadable();

private:
    struct Refresh;

    Awaitable<std::optional<AuthSession>> loadExistingSessionBody();
    Awaitable<void> requestOTPBody(std::string email);
    Awaitable<AuthSession> verifyOTPBody(std::string email, std::string code);
    Awaitable<std::string> getValidAccessTokenBody();

    // Joins the refresh in flight, or starts one that every later caller joins.
    Awaitable<AuthSession> sharedRefresh();
    static Awaitable<void> runRefresh(std::shared_ptr<AuthService> self,
                                      std::shared_ptr<Refresh> refresh);
    Awaitable<AuthSession> performRefresh();

    HTTPRequest buildRequest(const char* path, std::optional<std::string_view> query,
                             const Json& body) const;
    // Keeps a refreshed session in memory even when the secret store refuses it: the server has
    // rotated the refresh token, so the old session is gone either way.
    Awaitable<void> adopt(AuthSession session);
    // Stores a verified session, then makes it the current one; a refusal keeps it aside for
    // the next verification and throws.
    Awaitable<void> storeSignIn(std::string email, AuthSession session);
    Awaitable<void> endSession();
    Awaitable<void> removeStoredSession();

    std::shared_ptr<HTTPClient> httpClient_;
    std::shared_ptr<KeychainStore> keychain_;
    std::string supabaseURL_;
    std::string supabaseAnonKey_;
    AuthServiceOptions options_;

    std::optional<AuthSession> currentSession_;
    // A verified session that the secret store refused, and the address it was verified for.
    std::optional<std::pair<std::string, AuthSession>> unstoredSignIn_;
    std::shared_ptr<Refresh> refresh_;
    std::optional<std::int32_t> storedSessionUnreadable_;
    // Counts every change of currentSession_, so a request that returns late can tell whether the
    // session it was sent for is still the current one.
    std::uint64_t generation_ = 0;
};

} // namespace pennial
