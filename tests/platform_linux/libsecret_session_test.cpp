#include "platform/linux/storage/libsecret_store.hpp"
#include "services/auth_service.hpp"
#include "services/run_awaitable.hpp"
#include "support/scripted_http_client.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::testing;

namespace {

// The auth service as the application builds it, over the desktop's real secret store.
std::shared_ptr<AuthService> authService(std::shared_ptr<ScriptedHttpClient> http) {
    auto keychain = std::make_shared<KeychainStore>(std::make_shared<LibsecretStore>(),
                                                    "com.pennial.test.session");
    return std::make_shared<AuthService>(std::move(http), keychain, "https://project.example.test",
                                         "anon-key");
}

} // namespace

TEST(LibsecretSession, ASignedInSessionSurvivesARestartAndSignOutRemovesIt) {
    auto http = std::make_shared<ScriptedHttpClient>();
    http->enqueue(ScriptedHttpClient::body(
        R"({"access_token":"AT","refresh_token":"RT","expires_in":3600,"user":{"id":"u-1"}})"));
    auto session = runAwaitable(authService(http)->verifyOTP("ada@example.test", "123456"));

    auto restarted = authService(http);
    auto restored = runAwaitable(restarted->loadExistingSession());
    ASSERT_TRUE(restored.has_value());
    EXPECT_EQ(restored->accessToken, "AT");
    EXPECT_EQ(restored->refreshToken, "RT");
    EXPECT_LT(std::chrono::abs(restored->expiresAt - session.expiresAt),
              std::chrono::milliseconds(1));

    runAwaitable(restarted->signOut());
    EXPECT_EQ(runAwaitable(authService(http)->loadExistingSession()), std::nullopt);
    EXPECT_EQ(http->requestCount(), 1u);
}
