#pragma once
// Keeps the user's profile and command list in step with the hosted project's REST interface.
// Pushes retry what may pass on a second try; pulls try once and answer a three-way result.

#include "base/runtime.hpp"
#include "base/task.hpp"
#include "services/auth_service.hpp"
#include "services/http_client.hpp"
#include "services/supabase_rows.hpp"
#include "text/command.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

struct SupabaseStoreOptions {
    // The number of sends a push makes at most.
    int maxRetries = 3;
    // The wait after each failed send but the last (1 s, then 2 s).
    std::vector<std::chrono::milliseconds> backoff{std::chrono::seconds(1), std::chrono::seconds(2),
                                                   std::chrono::seconds(4)};
    // How a push waits between sends; tests record the waits here.
    std::function<Awaitable<SleepResult>(std::chrono::steady_clock::duration)> sleep =
        [](std::chrono::steady_clock::duration duration) { return sleepFor(duration); };
};

class SupabaseStore : public Actor {
public:
    using RemoteProfile = pennial::RemoteProfile;

    // A pull's outcome; a failure has already been logged and carries nothing.
    template <class T> class PullResult {
    public:
        enum class Kind { success, noRemoteData, failure };

        PullResult() = default; // a failure
        static PullResult success(T value) { return PullResult(Kind::success, std::move(value)); }
        static PullResult noRemoteData() { return PullResult(Kind::noRemoteData, std::nullopt); }
        static PullResult failure() { return PullResult(Kind::failure, std::nullopt); }

        Kind kind() const { return kind_; }
        const T& value() const { return *value_; } // success only

    private:
        PullResult(Kind kind, std::optional<T> value) : kind_(kind), value_(std::move(value)) {}
        Kind kind_ = Kind::failure;
        std::optional<T> value_;
    };

    SupabaseStore(std::shared_ptr<HTTPClient> httpClient, std::shared_ptr<AuthService> authService,
                  std::string supabaseURL, std::string supabaseAnonKey,
                  SupabaseStoreOptions options = {});

    // Upserts the user's profile row. Throws AuthError, HTTPError.
    Awaitable<void> pushProfile(std::string displayNames, std::string writingContext);
    Awaitable<PullResult<RemoteProfile>> pullProfile();
    // Sends the whole list to the upsert function, in its order. Throws AuthError, HTTPError.
    Awaitable<void> pushCommands(std::vector<Command> commands);
    // Never noRemoteData: no rows is an empty list.
    Awaitable<PullResult<std::vector<Command>>> pullCommands();

private:
    struct SignedInUser {
        std::string userId;
        std::string accessToken;
    };

    Awaitable<void> pushProfileBody(std::string displayNames, std::string writingContext);
    Awaitable<PullResult<RemoteProfile>> pullProfileBody();
    Awaitable<void> pushCommandsBody(std::vector<Command> commands);
    Awaitable<PullResult<std::vector<Command>>> pullCommandsBody();

    Awaitable<SignedInUser> signedInUser();
    Awaitable<std::string> executeWithRetry(HTTPRequest request);
    HTTPRequest buildRequest(const char* method, const char* path, std::optional<std::string> query,
                             const std::string& accessToken) const;

    std::shared_ptr<HTTPClient> httpClient_;
    std::shared_ptr<AuthService> authService_;
    std::string supabaseURL_;
    std::string supabaseAnonKey_;
    SupabaseStoreOptions options_;
};

} // namespace pennial
