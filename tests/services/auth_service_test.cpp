#include "auth_fixture.hpp"
#include "base/task.hpp"
#include "services/auth_error.hpp"

#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <atomic>
#include <thread>

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;
using Operation = SimSecretStore::Operation;
using Kind = AuthError::Kind;

namespace {

class AuthServiceTest : public AuthFixture {
protected:
    AuthError authErrorOf(Awaitable<std::string> awaitable) {
        return errorOf<AuthError>(std::move(awaitable));
    }
};

} // namespace

TEST_F(AuthServiceTest, AnUnusableBaseAddressFailsBeforeSending) {
    auto broken = makeAuth("not a url");
    auto error = errorOf<HTTPError>(broken->requestOTP("ada@example.test"));
    EXPECT_EQ(error.kind(), HTTPError::Kind::invalidURL);
    EXPECT_EQ(http->requestCount(), 0u);
}

TEST_F(AuthServiceTest, VerificationSignsInAndStoresTheSession) {
    http->enqueue(ScriptedHttpClient::body(tokenAnswer("a", 3600, "null")));
    auto session = runAwaitable(auth->verifyOTP("ada@example.test", "424242"));
    EXPECT_EQ(session, (AuthSession{"user-1", "AT-a", "RT-a", now + 3600s, ""}));
    EXPECT_EQ(runAwaitable(auth->currentSession()), session);
    EXPECT_EQ(storedSession(), session);
    EXPECT_EQ(http->requests().at(0).timeout, 10s) << "the auth client's time-out";
}

TEST_F(AuthServiceTest, FailedCallsMapToTheirCases) {
    http->enqueue({
        ScriptedHttpClient::error(HTTPError::httpError(429, R"({"msg":"Too many"})")),
        ScriptedHttpClient::error(HTTPError::httpError(401, R"({"error":"Token expired"})")),
        ScriptedHttpClient::error(HTTPError::timeout()),
        ScriptedHttpClient::failure(std::make_exception_ptr(std::runtime_error("socket gone"))),
        ScriptedHttpClient::body(R"({"access_token":"AT-x"})"),
    });
    auto otp = errorOf<AuthError>(auth->requestOTP("ada@example.test"));
    EXPECT_EQ(otp.kind(), Kind::otpRequestFailed);
    EXPECT_EQ(otp.statusCode(), 429);
    EXPECT_EQ(otp.message(), "Too many");

    auto verify = errorOf<AuthError>(auth->verifyOTP("ada@example.test", "424242"));
    EXPECT_EQ(verify.kind(), Kind::verificationFailed) << "a 401 is no expired session here";
    EXPECT_EQ(verify.statusCode(), 401);
    EXPECT_EQ(verify.message(), "Token expired");

    auto timeout = errorOf<AuthError>(auth->verifyOTP("ada@example.test", "424242"));
    EXPECT_EQ(timeout.kind(), Kind::networkError);
    EXPECT_EQ(timeout.underlying(), HTTPError::timeout().what());

    auto other = errorOf<AuthError>(auth->verifyOTP("ada@example.test", "424242"));
    EXPECT_EQ(other.kind(), Kind::networkError);
    EXPECT_EQ(other.underlying(), "socket gone");

    auto decoding = errorOf<AuthError>(auth->verifyOTP("ada@example.test", "424242"));
    EXPECT_EQ(decoding.kind(), Kind::decodingError);

    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
    EXPECT_EQ(secrets->calls(Operation::write), 0);
}

// A sign-in the keyring cannot keep would be lost at the next start with nothing said: it signs
// nobody in and says why in the secret service's words. The code is spent, so the verified session
// waits for the same address's next try, which needs no new code.
TEST_F(AuthServiceTest, ASessionTheKeyringRefusesSignsNobodyInUntilItCanBeStored) {
    const std::string locked = "org.freedesktop.Secret.Error.IsLocked: Cannot create an item in a "
                               "locked collection";
    secrets->injectFailure(Operation::write, SecretStatus::interactionNotAllowed, locked);
    http->enqueue(ScriptedHttpClient::body(tokenAnswer("a")));
    auto refused = errorOf<AuthError>(auth->verifyOTP("ada@example.test", "424242"));
    EXPECT_EQ(refused.kind(), Kind::keychainError);
    EXPECT_EQ(refused.keychainStatus(), SecretStatus::interactionNotAllowed);
    EXPECT_EQ(refused.what(), "keychainError(" + locked + ")");
    EXPECT_TRUE(logs.contains("❌ [KeychainStore] save failed for key=session: " + locked));
    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);

    // Still locked: refused again, still without asking the server.
    errorOf<AuthError>(auth->verifyOTP("ada@example.test", "424242"));
    secrets->clearFailure(Operation::write);
    auto session = runAwaitable(auth->verifyOTP("ada@example.test", "424242"));
    EXPECT_EQ(http->requestCount(), 1u);
    EXPECT_EQ(session.accessToken, "AT-a");
    EXPECT_EQ(runAwaitable(auth->currentSession()), session);
    EXPECT_EQ(storedSession(), session);

    // Another address, or a sign-out, forgets the waiting session.
    secrets->injectFailure(Operation::write, SecretStatus::interactionNotAllowed, locked);
    http->enqueue(ScriptedHttpClient::body(tokenAnswer("b")));
    errorOf<AuthError>(auth->verifyOTP("ada@example.test", "111111"));
    secrets->clearFailure(Operation::write);
    http->enqueue(ScriptedHttpClient::body(tokenAnswer("c")));
    EXPECT_EQ(runAwaitable(auth->verifyOTP("bob@example.test", "222222")).accessToken, "AT-c");
    EXPECT_EQ(http->requestCount(), 3u);
}

TEST_F(AuthServiceTest, RefreshesOnlyWithinSixtySecondsOfExpiry) {
    signIn(sessionExpiringIn(61s));
    EXPECT_EQ(runAwaitable(auth->getValidAccessToken()), "AT-old");
    EXPECT_EQ(http->requestCount(), 0u);

    now += 1s;
    http->enqueue(ScriptedHttpClient::body(tokenAnswer("new")));
    EXPECT_EQ(runAwaitable(auth->getValidAccessToken()), "AT-new");
    EXPECT_EQ(http->requestCount(), 1u);
    EXPECT_EQ(storedSession()->refreshToken, "RT-new");
    EXPECT_EQ(runAwaitable(auth->currentSession())->expiresAt, now + 3600s);
}

TEST_F(AuthServiceTest, ConcurrentCallersShareOneFailedRefreshAndTheNextCallTriesAgain) {
    signIn(sessionExpiringIn(30s));
    http->enqueue(ScriptedHttpClient::error(HTTPError::httpError(500, R"({"msg":"down"})"), 20ms));
    EXPECT_EQ(concurrentTokens(*auth, 4),
              std::vector<std::string>(4, R"(refreshFailed(statusCode: 500, message: "down"))"));
    EXPECT_EQ(http->requestCount(), 1u);
    EXPECT_EQ(runAwaitable(auth->currentSession())->accessToken, "AT-old");
    EXPECT_EQ(storedSession()->accessToken, "AT-old");

    http->enqueue(ScriptedHttpClient::body(tokenAnswer("new")));
    EXPECT_EQ(runAwaitable(auth->getValidAccessToken()), "AT-new");
}

TEST_F(AuthServiceTest, ARefusedRefreshEndsTheSessionEverywhere) {
    struct Case {
        int status;
        const char* body;
    };
    for (auto [status, body] :
         {Case{401, "{}"}, Case{403, ""},
          Case{400, R"({"error":"invalid_grant","error_description":"x"})"},
          Case{400, R"({"code":400,"error_code":"refresh_token_already_used","msg":"x"})"},
          Case{400, R"({"code":400,"error_code":"refresh_token_not_found","msg":"x"})"},
          Case{400, R"({"code":400,"error_code":"session_not_found","msg":"x"})"},
          Case{400, R"({"code":400,"error_code":"session_expired","msg":"x"})"}}) {
        signIn(sessionExpiringIn(10s));
        http->enqueue(ScriptedHttpClient::error(HTTPError::httpError(status, body)));
        EXPECT_EQ(authErrorOf(auth->getValidAccessToken()).kind(), Kind::sessionExpired) << body;
        EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
        EXPECT_EQ(secrets->item(service, "session"), std::nullopt);
        EXPECT_EQ(authErrorOf(auth->getValidAccessToken()).kind(), Kind::noSession);
    }

    // Any other 400 is a failure to retry later, not a refusal.
    signIn(sessionExpiringIn(10s));
    http->enqueue(ScriptedHttpClient::error(
        HTTPError::httpError(400, R"({"error":"invalid_request","msg":"bad"})")));
    auto error = authErrorOf(auth->getValidAccessToken());
    EXPECT_EQ(error.kind(), Kind::refreshFailed);
    EXPECT_EQ(error.message(), "bad");
    EXPECT_TRUE(runAwaitable(auth->currentSession()).has_value());
}

TEST_F(AuthServiceTest, ARefreshedSessionIsKeptWhenItCannotBeStored) {
    // The server has rotated the refresh token: the old session is dead either way.
    signIn(sessionExpiringIn(10s));
    secrets->injectFailure(Operation::write, SecretStatus::interactionNotAllowed);
    http->enqueue(ScriptedHttpClient::body(tokenAnswer("new")));
    EXPECT_EQ(runAwaitable(auth->getValidAccessToken()), "AT-new");
    EXPECT_EQ(runAwaitable(auth->getValidAccessToken()), "AT-new");
    EXPECT_EQ(http->requestCount(), 1u);
    EXPECT_EQ(storedSession()->accessToken, "AT-old") << "the old item is not deleted first";
}

TEST_F(AuthServiceTest, SignOutWinsOverARefreshInFlight) {
    signIn(sessionExpiringIn(10s));
    auto gate = std::make_shared<ScriptedHttpClient::Gate>(/*ignoresCancellation*/ true);
    http->enqueue(ScriptedHttpClient::gated(gate, ScriptedHttpClient::body(tokenAnswer("late"))));

    auto outcome =
        runAwaitable([](AuthService& auth,
                        std::shared_ptr<ScriptedHttpClient::Gate> gate) -> Awaitable<std::string> {
            auto executor = co_await asio::this_coro::executor;
            std::string result;
            auto caller = [](AuthService& auth, std::string& result) -> Awaitable<void> {
                try {
                    result = co_await auth.getValidAccessToken();
                } catch (const std::exception& error) {
                    result = error.what();
                }
            };
            auto done = std::make_shared<asio::steady_timer>(
                executor, std::chrono::steady_clock::time_point::max());
            // An expiry in the past also wakes a wait that starts after the caller has ended.
            asio::co_spawn(executor, caller(auth, result), [done](auto) {
                done->expires_at(std::chrono::steady_clock::time_point::min());
            });
            co_await sleepFor(20ms); // the refresh request is out
            co_await auth.signOut();
            gate->open(); // and its answer arrives after all
            std::error_code ignored;
            co_await done->async_wait(asio::redirect_error(asio::use_awaitable, ignored));
            co_return result;
        }(*auth, gate));

    EXPECT_EQ(outcome, "noSession");
    EXPECT_EQ(http->requestCount(), 1u);
    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
    EXPECT_EQ(secrets->item(service, "session"), std::nullopt);
}

// A locked keyring keeps each call waiting for seconds: none of that wait may sit on the shared
// pool, whose two threads also run the text monitor and the accessibility reads.
TEST_F(AuthServiceTest, SecretStoreCallsNeverRunOnTheSharedPool) {
    struct WatchedSecrets : SimSecretStore {
        std::atomic<int> callsOnPool{0}, calls{0};
        void note() {
            ++calls;
            if (sharedPool().get_executor().running_in_this_thread())
                ++callsOnPool;
        }
        SecretReadResult read(const std::string& service, const std::string& account) override {
            note();
            return SimSecretStore::read(service, account);
        }
        SecretResult write(const std::string& service, const std::string& account,
                           const std::string& data) override {
            note();
            return SimSecretStore::write(service, account, data);
        }
        SecretResult remove(const std::string& service, const std::string& account) override {
            note();
            return SimSecretStore::remove(service, account);
        }
    };
    auto watched = std::make_shared<WatchedSecrets>();
    watched->putItem(service, "session", sessionExpiringIn(10s).toJson());
    keychain = std::make_shared<KeychainStore>(watched, service);
    auth = makeAuth();
    http->enqueue(ScriptedHttpClient::body(tokenAnswer("new")));

    EXPECT_EQ(runAwaitable(auth->loadExistingSession())->accessToken, "AT-new"); // read, write
    runAwaitable(auth->signOut());                                               // remove
    EXPECT_EQ(watched->calls, 3);
    EXPECT_EQ(watched->callsOnPool, 0);
}

// Quitting while a refresh is out: its caller is cancelled and the service let go, yet the refresh
// resumes into a live service and ends (under ASan, a use-after-free before).
TEST_F(AuthServiceTest, ARefreshInFlightOutlivesItsCallerAndTheServicesOwner) {
    signIn(sessionExpiringIn(10s));
    auto gate = std::make_shared<ScriptedHttpClient::Gate>(/*ignoresCancellation*/ true);
    http->enqueue(ScriptedHttpClient::gated(gate, ScriptedHttpClient::body(tokenAnswer("new"))));
    std::weak_ptr<AuthService> watched = auth;

    runAwaitable([](std::shared_ptr<AuthService> auth,
                    std::shared_ptr<ScriptedHttpClient::Gate> gate) -> Awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        auto caller = [](std::shared_ptr<AuthService> auth) -> Awaitable<void> {
            co_await auth->getValidAccessToken();
        };
        auto task = Task::spawn(executor, caller(auth));
        co_await sleepFor(20ms); // the refresh request is out
        task.cancel();
        co_await sleepFor(20ms);
        auth.reset(); // the last owner but the refresh itself
        gate->open();
        for (int i = 0; i < 100 && task.isRunning(); ++i)
            co_await sleepFor(5ms);
    }(std::exchange(auth, nullptr), gate));

    for (int i = 0; i < 100 && !watched.expired(); ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(watched.expired()) << "released once the refresh ended";
    EXPECT_EQ(storedSession()->accessToken, "AT-new") << "the refresh finished its work";
}

TEST_F(AuthServiceTest, SignOutForgetsTheSessionAndLogsOnlyAFailedDelete) {
    runAwaitable(auth->signOut());
    EXPECT_EQ(secrets->calls(Operation::remove), 1);
    EXPECT_TRUE(logs.lines().empty());

    signIn(sessionExpiringIn(3600s));
    secrets->injectFailure(Operation::remove, SecretStatus::authFailed);
    runAwaitable(auth->signOut());
    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
    EXPECT_EQ(logs.lines(),
              std::vector<std::string>{"❌ [AuthService] Failed to delete session from Keychain: "
                                       "keychainError(-25293)"});
}

TEST_F(AuthServiceTest, StartUpUsesAValidStoredSessionWithoutARequest) {
    auto stored = sessionExpiringIn(301s);
    secrets->putItem(service, "session", stored.toJson());
    EXPECT_EQ(runAwaitable(auth->loadExistingSession()), stored);
    EXPECT_EQ(http->requestCount(), 0u);
    EXPECT_EQ(logs.lines(), (std::vector<std::string>{
                                "🔵 [AuthService] Entered loadExistingSession",
                                "🔵 [AuthService] Loading from Keychain...",
                                "🔵 [KeychainStore] Loaded key=session",
                                "🔵 [AuthService] Keychain returned, hasData=true",
                                "🔵 [AuthService] Decoded session for ada@example.test, "
                                "expired=false, expiresWithin300=false",
                            }));
}

TEST_F(AuthServiceTest, StartUpFindsNothingUsable) {
    EXPECT_EQ(runAwaitable(auth->loadExistingSession()), std::nullopt);
    EXPECT_TRUE(logs.contains("🔵 [AuthService] No session in Keychain"));

    secrets->putItem(service, "session", R"({"accessToken":"AT-x","refreshToken":"RT-x"})");
    EXPECT_EQ(runAwaitable(auth->loadExistingSession()), std::nullopt);
    EXPECT_TRUE(logs.contains(
        R"(❌ [AuthService] Failed to decode stored session: key "expiresAt" is missing)"));
    EXPECT_TRUE(secrets->item(service, "session").has_value()) << "left for a later version";

    secrets->injectFailure(Operation::read, SecretStatus::interactionNotAllowed);
    EXPECT_EQ(runAwaitable(auth->loadExistingSession()), std::nullopt);
    EXPECT_TRUE(logs.contains(
        "❌ [AuthService] Failed to load session from Keychain: keychainError(-25308)"));
    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
}

TEST_F(AuthServiceTest, StartUpRefreshesASessionNearExpiry) {
    secrets->putItem(service, "session", sessionExpiringIn(299s).toJson());
    http->enqueue(ScriptedHttpClient::body(tokenAnswer("new")));
    EXPECT_EQ(runAwaitable(auth->loadExistingSession())->accessToken, "AT-new");
    EXPECT_TRUE(logs.contains("🔵 [AuthService] Session near expiry, proactively refreshing via "
                              "https://project.example.test..."));
    EXPECT_EQ(storedSession()->accessToken, "AT-new");

    // A failure that is no refusal keeps the stored session for this run.
    secrets->putItem(service, "session", sessionExpiringIn(100s).toJson());
    http->enqueue(ScriptedHttpClient::error(HTTPError::timeout()));
    EXPECT_EQ(runAwaitable(auth->loadExistingSession())->accessToken, "AT-old");
    EXPECT_TRUE(
        logs.contains("⚠️ [AuthService] Proactive refresh failed, using current session: "
                      "networkError(timeout)"));
}

TEST_F(AuthServiceTest, StartUpDropsASessionNearExpiryWhoseRefreshIsRefused) {
    secrets->putItem(service, "session", sessionExpiringIn(100s).toJson());
    http->enqueue(ScriptedHttpClient::error(HTTPError::httpError(401, "{}")));
    EXPECT_EQ(runAwaitable(auth->loadExistingSession()), std::nullopt);
    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
    EXPECT_EQ(secrets->item(service, "session"), std::nullopt);
    EXPECT_TRUE(logs.contains("❌ [AuthService] Failed to refresh expired session: sessionExpired"));
}

TEST_F(AuthServiceTest, AFailedRefreshIsLoggedWithoutTheServersWordsThatEchoTheTokens) {
    const std::string echo = R"({"msg":"refresh token RT-old-0123456789abcdef not accepted"})";
    for (auto lifetime : {100s, 0s}) { // the proactive refresh, then the needed one
        auto session = sessionExpiringIn(lifetime);
        session.refreshToken = "RT-old-0123456789abcdef";
        secrets->putItem(service, "session", session.toJson());
        http->enqueue(ScriptedHttpClient::error(HTTPError::httpError(500, echo)));
        logs.clear();
        runAwaitable(auth->loadExistingSession());
        EXPECT_EQ(logs.matching("refreshFailed(statusCode: 500)").size(), 1u);
        EXPECT_EQ(logs.matching("0123456789abcdef"), std::vector<std::string>{});
    }
}

TEST_F(AuthServiceTest, StartUpWithAnExpiredSessionNeedsTheRefresh) {
    secrets->putItem(service, "session", sessionExpiringIn(0s).toJson());
    http->enqueue(ScriptedHttpClient::error(HTTPError::networkError("offline")));
    EXPECT_EQ(runAwaitable(auth->loadExistingSession()), std::nullopt);
    EXPECT_TRUE(logs.contains("🔵 [AuthService] Session expired, refreshing token via "
                              "https://project.example.test..."));
    EXPECT_TRUE(logs.contains("❌ [AuthService] Failed to refresh expired session: "
                              "networkError(networkError(offline))"));
    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
    EXPECT_TRUE(secrets->item(service, "session").has_value()) << "kept for the next start";

    http->enqueue(ScriptedHttpClient::body(tokenAnswer("new")));
    EXPECT_EQ(runAwaitable(auth->loadExistingSession())->accessToken, "AT-new");
}
