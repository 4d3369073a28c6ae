// The profile and command store against the local fake of the hosted REST interface, over the
// real HTTP client.

#include "base/log.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "run_awaitable.hpp"
#include "services/curl_http_client.hpp"
#include "services/supabase_store.hpp"
#include "support/fake_backend.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;

namespace {

class SupabaseStoreBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        runAwaitable(auth->verifyOTP("ada@example.test", "123456"));
        userId = runAwaitable(auth->currentSession())->userId;
        backend.clearRequests();
    }

    std::shared_ptr<SupabaseStore> makeStore() {
        SupabaseStoreOptions options;
        // Waits are recorded, and taken at a tenth of their length to keep the test short.
        options.sleep = [this](std::chrono::steady_clock::duration wait) {
            waits.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(wait));
            return sleepFor(wait / 10);
        };
        return std::make_shared<SupabaseStore>(http, auth, backend.baseURL(), "anon-key", options);
    }

    void expectHeaders(const RecordedRequest& request) {
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("apikey"), "anon-key");
        EXPECT_EQ(request.header("Authorization"), "Bearer fake-access-1");
    }

    LogCapture logs;
    FakeBackend backend;
    std::shared_ptr<CurlHttpClient> http = std::make_shared<CurlHttpClient>();
    std::shared_ptr<AuthService> auth = std::make_shared<AuthService>(
        http,
        std::make_shared<KeychainStore>(std::make_shared<SimSecretStore>(),
                                        "com.pennial.Pennial.auth"),
        backend.baseURL(), "anon-key");
    std::string userId;
    std::vector<std::chrono::milliseconds> waits;
    std::shared_ptr<SupabaseStore> store = makeStore();
};

using ProfileResult = SupabaseStore::PullResult<RemoteProfile>;
using CommandsResult = SupabaseStore::PullResult<std::vector<Command>>;

} // namespace

TEST_F(SupabaseStoreBackendTest, PushedProfileAndCommandsComeBackWithExactRequests) {
    auto sig = Command::make("sig", "Best, <name>", false);
    auto fix = Command::make("fix", "Fix it", true, {{{"tone", "calm"}}});
    EXPECT_EQ(runAwaitable(store->pullProfile()).kind(), ProfileResult::Kind::noRemoteData);
    runAwaitable(store->pushProfile("Ada", "Warm."));
    runAwaitable(store->pushCommands({sig, fix}));
    auto profile = runAwaitable(store->pullProfile());
    ASSERT_EQ(profile.kind(), ProfileResult::Kind::success);
    EXPECT_EQ(profile.value(), (RemoteProfile{"Ada", "Warm."}));
    auto commands = runAwaitable(store->pullCommands());
    ASSERT_EQ(commands.kind(), CommandsResult::Kind::success);
    EXPECT_EQ(commands.value(), (std::vector<Command>{sig, fix}));

    auto requests = backend.requests();
    ASSERT_EQ(requests.size(), 5u);
    for (const auto& request : requests)
        expectHeaders(request);
    auto profileQuery = "user_id=eq." + userId + "&select=user_display_names,user_writing_context";
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/rest/v1/user_profiles");
    EXPECT_EQ(requests[0].query, profileQuery);

    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].path, "/rest/v1/user_profiles");
    EXPECT_EQ(requests[1].header("Prefer"), "resolution=merge-duplicates");
    EXPECT_EQ(requests[1].json(), (Json{{"user_id", userId},
                                        {"user_display_names", "Ada"},
                                        {"user_writing_context", "Warm."}}));

    EXPECT_EQ(requests[2].method, "POST");
    EXPECT_EQ(requests[2].path, "/rest/v1/rpc/upsert_user_commands");
    EXPECT_EQ(requests[2].header("Prefer"), std::nullopt);
    EXPECT_EQ(requests[2].json(),
              json::parse(R"({"p_commands":[
        {"id":")" + sig.id.toString() +
                          R"(","name":"sig","content":"Best, <name>","mode":"snippet"},
        {"id":")" + fix.id.toString() +
                          R"(","name":"fix","content":"Fix it","mode":"smart_edit",
         "metadata":{"tone":"calm"}}]})"));

    EXPECT_EQ(requests[3].query, profileQuery);
    EXPECT_EQ(requests[4].method, "GET");
    EXPECT_EQ(requests[4].path, "/rest/v1/user_commands");
    EXPECT_EQ(requests[4].query,
              "user_id=eq." + userId + "&select=command_id,name,content,metadata,mode");
}

TEST_F(SupabaseStoreBackendTest, AnIdThatWouldBreakTheQueryIsEncoded) {
    backend.answerNext(Endpoint::otpVerify,
                       FakeAnswer::json(200, {{"access_token", "fake-access-odd"},
                                              {"refresh_token", "fake-refresh-odd"},
                                              {"expires_in", 3600},
                                              {"user", {{"id", "odd&select=*#x"}}}}));
    runAwaitable(auth->verifyOTP("odd@example.test", "123456"));
    backend.setProfileRow("odd&select=*#x", {{"user_id", "odd&select=*#x"},
                                             {"user_display_names", "Odd"},
                                             {"user_writing_context", nullptr}});
    auto profile = runAwaitable(store->pullProfile());
    ASSERT_EQ(profile.kind(), ProfileResult::Kind::success);
    EXPECT_EQ(profile.value(), (RemoteProfile{"Odd", std::nullopt}))
        << "null is never set, not \"\"";
}

TEST_F(SupabaseStoreBackendTest, PushesRetryWhatMayPassWithGrowingWaits) {
    backend.answerNext(Endpoint::profileUpsert, {FakeAnswer::json(503, {{"message", "busy"}}),
                                                 FakeAnswer::text(502, "Bad Gateway"),
                                                 FakeAnswer::json(503, {{"message", "busy"}})});
    auto start = std::chrono::steady_clock::now();
    try {
        runAwaitable(store->pushProfile("Ada", ""));
        ADD_FAILURE() << "pushed";
    } catch (const HTTPError& error) {
        EXPECT_EQ(error.statusCode(), 503) << "the last failure";
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(backend.requestCount(Endpoint::profileUpsert), 3u);
    EXPECT_EQ(waits, (std::vector<std::chrono::milliseconds>{1s, 2s}));
    EXPECT_EQ(logs.matching("⚠️ [SupabaseStore] POST /rest/v1/user_profiles attempt "),
              (std::vector<std::string>{
                  "⚠️ [SupabaseStore] POST /rest/v1/user_profiles attempt 1/3 failed: "
                  "httpError(statusCode: 503)",
                  "⚠️ [SupabaseStore] POST /rest/v1/user_profiles attempt 2/3 failed: "
                  "httpError(statusCode: 502)",
                  "⚠️ [SupabaseStore] POST /rest/v1/user_profiles attempt 3/3 failed: "
                  "httpError(statusCode: 503)"}));

    waits.clear();
    backend.answerNext(Endpoint::commandsUpsert, {FakeAnswer::json(429, Json::object())});
    runAwaitable(store->pushCommands({}));
    EXPECT_EQ(backend.requestCount(Endpoint::commandsUpsert), 2u);
    EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>{1s});

    backend.answerNext(Endpoint::commandsUpsert, {FakeAnswer::json(400, {{"message", "bad"}})});
    EXPECT_THROW(runAwaitable(store->pushCommands({})), HTTPError);
    EXPECT_EQ(backend.requestCount(Endpoint::commandsUpsert), 3u) << "a client error is sent once";
    EXPECT_TRUE(logs.contains(R"(❌ [SupabaseStore] POST /rest/v1/rpc/upsert_user_commands → )"
                              R"(HTTP 400: {"message":"bad"})"));
}
