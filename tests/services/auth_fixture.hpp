#pragma once
// What the account tests share: a signed-out auth service over an in-memory secret store and a
// scripted HTTP client, a wall clock the test sets, and callers racing for a token.

#include "base/log.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "services/auth_service.hpp"
#include "services/run_awaitable.hpp"
#include "support/scripted_http_client.hpp"

#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <gtest/gtest.h>

namespace pennial::testing {

// The error an awaitable throws, rethrown as E so a test can read it; fails when it throws none.
template <class E, class T> E errorOf(Awaitable<T> awaitable) {
    try {
        runAwaitable(std::move(awaitable));
    } catch (const E& error) {
        return error;
    }
    ADD_FAILURE() << "no error of the expected type";
    throw std::logic_error("no error");
}

// count callers ask for a token at once; each gets the token or the error's description.
inline std::vector<std::string> concurrentTokens(AuthService& auth, int count) {
    auto body = [](AuthService& auth, int count) -> Awaitable<std::vector<std::string>> {
        auto executor = co_await asio::this_coro::executor;
        std::vector<std::string> results(count);
        int remaining = count;
        asio::steady_timer allDone(executor, std::chrono::steady_clock::time_point::max());
        auto caller = [](AuthService& auth, std::string& result) -> Awaitable<void> {
            try {
                result = co_await auth.getValidAccessToken();
            } catch (const std::exception& error) {
                result = error.what();
            }
        };
        for (int i = 0; i < count; ++i)
            asio::co_spawn(executor, caller(auth, results[i]), [&](std::exception_ptr) {
                if (--remaining == 0)
                    allDone.cancel();
            });
        std::error_code ignored;
        co_await allDone.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        co_return results;
    };
    return runAwaitable(body(auth, count));
}

class AuthFixture : public ::testing::Test {
protected:
    using Clock = std::chrono::system_clock;
    static constexpr const char* baseURL = "https://project.example.test";
    static constexpr const char* anonKey = "anon-key-46";
    static constexpr const char* service = "com.pennial.Pennial.auth";

    std::shared_ptr<AuthService> makeAuth(std::string url = baseURL) {
        AuthServiceOptions options;
        options.now = [this] { return now; };
        return std::make_shared<AuthService>(http, keychain, std::move(url), anonKey, options);
    }

    AuthSession sessionExpiringIn(std::chrono::seconds lifetime, std::string suffix = "old") {
        return {"user-1", "AT-" + suffix, "RT-" + suffix, now + lifetime, "ada@example.test"};
    }
    // A session in the secret store, loaded as at a start-up long before it expires.
    void signIn(const AuthSession& session) {
        secrets->putItem(service, "session", session.toJson());
        auto actualNow = now;
        now = session.expiresAt - std::chrono::hours(1);
        runAwaitable(auth->loadExistingSession());
        now = actualNow;
        logs.clear();
    }
    std::optional<AuthSession> storedSession() const {
        auto item = secrets->item(service, "session");
        if (!item)
            return std::nullopt;
        return AuthSession::fromJson(*item);
    }

    static std::string tokenAnswer(const std::string& suffix, int expiresIn = 3600,
                                   const char* email = "\"ada@example.test\"") {
        return R"({"access_token":"AT-)" + suffix + R"(","refresh_token":"RT-)" + suffix +
               R"(","expires_in":)" + std::to_string(expiresIn) +
               R"(,"token_type":"bearer","user":{"id":"user-1","email":)" + email + "}}";
    }

    void SetUp() override { logs.clear(); }

    void TearDown() override {
        // Tokens and codes never reach the log, whatever path a test took.
        for (const auto& line : logs.lines()) {
            EXPECT_EQ(line.find("AT-"), std::string::npos) << line;
            EXPECT_EQ(line.find("RT-"), std::string::npos) << line;
            EXPECT_EQ(line.find("424242"), std::string::npos) << line;
        }
    }

    LogCapture logs;
    Clock::time_point now = Clock::time_point(std::chrono::seconds(1'800'000'000));
    std::shared_ptr<SimSecretStore> secrets = std::make_shared<SimSecretStore>();
    std::shared_ptr<ScriptedHttpClient> http = std::make_shared<ScriptedHttpClient>();
    std::shared_ptr<KeychainStore> keychain = std::make_shared<KeychainStore>(secrets, service);
    std::shared_ptr<AuthService> auth = makeAuth();
};

} // namespace pennial::testing
