// The auth service against the local fake of the hosted auth interface, over the real HTTP client.

#include "auth_fixture.hpp"
#include "base/task.hpp"
#include "services/auth_error.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_backend.hpp"

#include <asio/steady_timer.hpp>

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;

namespace {

class AuthServiceBackendTest : public ::testing::Test {
protected:
    std::shared_ptr<AuthService> makeAuth(std::chrono::milliseconds timeout = 10s) {
        AuthServiceOptions options;
        options.requestTimeout = timeout;
        options.now = [this] { return now; };
        return std::make_shared<AuthService>(http, keychain, backend.baseURL() + "/", "anon-key",
                                             options);
    }

    AuthSession signIn() {
        runAwaitable(auth->requestOTP("ada@example.test"));
        return runAwaitable(auth->verifyOTP("ada@example.test", "123456"));
    }

    void TearDown() override {
        for (const auto& line : logs.lines()) {
            EXPECT_EQ(line.find("fake-access"), std::string::npos) << line;
            EXPECT_EQ(line.find("fake-refresh"), std::string::npos) << line;
            EXPECT_EQ(line.find("123456"), std::string::npos) << line;
        }
    }

    LogCapture logs;
    FakeBackend backend;
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
    std::shared_ptr<CurlHttpClient> http = std::make_shared<CurlHttpClient>();
    std::shared_ptr<SimSecretStore> secrets = std::make_shared<SimSecretStore>();
    std::shared_ptr<KeychainStore> keychain =
        std::make_shared<KeychainStore>(secrets, "com.pennial.Pennial.auth");
    std::shared_ptr<AuthService> auth = makeAuth();
};

} // namespace

TEST_F(AuthServiceBackendTest, SignsInAndRefreshesWithExactRequests) {
    auto session = signIn();
    EXPECT_EQ(session.accessToken, "fake-access-1");
    EXPECT_EQ(session.userEmail, "ada@example.test");
    now += 3550s;
    EXPECT_EQ(runAwaitable(auth->getValidAccessToken()), "fake-access-2");

    auto requests = backend.requests();
    ASSERT_EQ(requests.size(), 3u);
    struct Expected {
        const char* path;
        const char* query;
        Json body;
    };
    Expected expected[] = {
        {"/auth/v1/otp", "", {{"email", "ada@example.test"}}},
        {"/auth/v1/verify",
         "",
         {{"email", "ada@example.test"}, {"token", "123456"}, {"type", "email"}}},
        {"/auth/v1/token", "grant_type=refresh_token", {{"refresh_token", "fake-refresh-1"}}},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].method, "POST");
        EXPECT_EQ(requests[i].path, expected[i].path);
        EXPECT_EQ(requests[i].query, expected[i].query);
        EXPECT_EQ(requests[i].header("Content-Type"), "application/json");
        EXPECT_EQ(requests[i].header("apikey"), "anon-key");
        EXPECT_EQ(requests[i].header("Authorization"), "Bearer anon-key")
            << "never the user's token";
        EXPECT_EQ(requests[i].json(), expected[i].body);
    }
}

TEST_F(AuthServiceBackendTest, TenCallersNearExpirySendOneRefresh) {
    signIn();
    now += 3590s;
    backend.setDelay(Endpoint::tokenRefresh, 100ms);
    EXPECT_EQ(concurrentTokens(*auth, 10), std::vector<std::string>(10, "fake-access-2"));
    EXPECT_EQ(backend.requestCount(Endpoint::tokenRefresh), 1u);
}

TEST_F(AuthServiceBackendTest, AnAuthRequestEndsAtItsTimeOut) {
    auto impatient = makeAuth(300ms);
    backend.setDelay(Endpoint::otpRequest, 5s);
    auto start = std::chrono::steady_clock::now();
    try {
        runAwaitable(impatient->requestOTP("ada@example.test"));
        ADD_FAILURE() << "answered";
    } catch (const AuthError& error) {
        EXPECT_EQ(error.kind(), AuthError::Kind::networkError);
        EXPECT_EQ(error.underlying(), HTTPError::timeout().what());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(AuthServiceBackendTest, ARefreshTokenTheServerNoLongerKnowsSignsOut) {
    auto session = signIn();
    // Spent elsewhere (another device, a second refresh): the server now refuses it.
    HTTPRequest spend;
    spend.url = backend.baseURL() + "/auth/v1/token?grant_type=refresh_token";
    spend.method = "POST";
    spend.setHeader("apikey", "anon-key");
    spend.body = json::dump(Json{{"refresh_token", session.refreshToken}});
    runAwaitable(http->execute(spend));

    now += 3590s;
    EXPECT_EQ(errorOf<AuthError>(auth->getValidAccessToken()).kind(),
              AuthError::Kind::sessionExpired);
    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
    EXPECT_EQ(secrets->item("com.pennial.Pennial.auth", "session"), std::nullopt);
}

TEST_F(AuthServiceBackendTest, SignOutDuringARefreshIsNotUndoneByItsAnswer) {
    signIn();
    now += 3590s;
    backend.setDelay(Endpoint::tokenRefresh, 300ms);
    auto body = [](AuthService& auth, FakeBackend& backend) -> Awaitable<std::string> {
        auto executor = co_await asio::this_coro::executor;
        std::string result;
        auto caller = [](AuthService& auth, std::string& result) -> Awaitable<void> {
            try {
                result = co_await auth.getValidAccessToken();
            } catch (const std::exception& error) {
                result = error.what();
            }
        };
        asio::steady_timer done(executor, std::chrono::steady_clock::time_point::max());
        // An expiry in the past also wakes a wait that starts after the caller has ended.
        asio::co_spawn(executor, caller(auth, result), [&](std::exception_ptr) {
            done.expires_at(std::chrono::steady_clock::time_point::min());
        });
        while (backend.requestCount(Endpoint::tokenRefresh) == 0)
            co_await sleepFor(5ms);
        co_await auth.signOut();
        std::error_code ignored;
        co_await done.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        co_await sleepFor(400ms); // past the moment the server answers
        co_return result;
    };
    EXPECT_EQ(runAwaitable(body(*auth, backend)), "noSession");
    EXPECT_EQ(runAwaitable(auth->currentSession()), std::nullopt);
    EXPECT_EQ(secrets->item("com.pennial.Pennial.auth", "session"), std::nullopt);
}
