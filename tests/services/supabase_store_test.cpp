#include "auth_fixture.hpp"
#include "services/auth_error.hpp"
#include "services/supabase_store.hpp"

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;
using Reply = ScriptedHttpClient;

namespace {

class SupabaseStoreTest : public AuthFixture {
protected:
    void SetUp() override {
        signIn({"user 1&x=y", "AT-user", "RT-user", now + 3600s, "ada@example.test"});
    }

    std::shared_ptr<SupabaseStore> makeStore(std::string url = baseURL) {
        SupabaseStoreOptions options;
        options.sleep = [this](std::chrono::steady_clock::duration wait) -> Awaitable<SleepResult> {
            waits.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(wait));
            co_return SleepResult::elapsed;
        };
        return std::make_shared<SupabaseStore>(http, auth, std::move(url), anonKey, options);
    }

    static Command command(const char* id, const char* name, bool replaceText,
                           std::optional<std::map<std::string, std::string>> metadata = {}) {
        auto made = Command::make(name, "Do " + std::string(name), replaceText, metadata);
        made.id = *Uuid::parse(id);
        return made;
    }

    std::vector<std::chrono::milliseconds> waits;
    std::shared_ptr<SupabaseStore> store = makeStore();
};

const char* idA = "e621e1f8-c36c-495a-93fc-0c247a3e6e5f";
const char* idB = "0C247A3E-6E5F-495A-93FC-E621E1F8C36C";

} // namespace

TEST_F(SupabaseStoreTest, RequestsCarryTheirTimeOutAndTheWholeList) {
    http->enqueue({Reply::body(""), Reply::body("[]")});
    auto trailing = makeStore("https://project.example.test/");
    runAwaitable(trailing->pushCommands({}));
    runAwaitable(trailing->pullCommands());
    auto requests = http->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].url, "https://project.example.test/rest/v1/rpc/upsert_user_commands");
    EXPECT_EQ(*requests[0].body, R"({"p_commands":[]})");
    EXPECT_EQ(requests[1].url, "https://project.example.test/rest/v1/user_commands?user_id=eq."
                               "user%201%26x%3Dy&select=command_id,name,content,metadata,mode");
    EXPECT_EQ(requests[1].body, std::nullopt);
    for (const auto& request : requests) {
        EXPECT_EQ(request.timeout, 60s);
        EXPECT_EQ(request.header("Authorization"), "Bearer AT-user");
    }
}

TEST_F(SupabaseStoreTest, PulledProfileIsTheFirstRowWithMissingOrNullValuesNeverSet) {
    http->enqueue({
        Reply::body(R"([{"user_display_names":"Ada","user_writing_context":null},
                        {"user_display_names":"Other"}])"),
        Reply::body(R"([{"user_writing_context":"Terse."}])"),
        Reply::body(R"([{"user_display_names":"Ada","user_writing_context":3}])"),
        Reply::body(R"({"user_display_names":"Ada"})"),
    });
    auto first = runAwaitable(store->pullProfile());
    ASSERT_EQ(first.kind(), SupabaseStore::PullResult<RemoteProfile>::Kind::success);
    EXPECT_EQ(first.value(), (RemoteProfile{"Ada", std::nullopt}));
    EXPECT_EQ(runAwaitable(store->pullProfile()).value(), (RemoteProfile{std::nullopt, "Terse."}));
    EXPECT_EQ(runAwaitable(store->pullProfile()).kind(),
              SupabaseStore::PullResult<RemoteProfile>::Kind::failure);
    EXPECT_EQ(runAwaitable(store->pullProfile()).kind(),
              SupabaseStore::PullResult<RemoteProfile>::Kind::failure);
    EXPECT_EQ(logs.matching("❌ [SupabaseStore] Pull profile failed: ").size(), 2u);
}

TEST_F(SupabaseStoreTest, PulledRowsBecomeCommandsInTheirOrder) {
    http->enqueue(
        Reply::body(std::string(R"([
        {"command_id":")") +
                    idA + R"(","name":"fix","content":"Fix it","metadata":null,"mode":"smart_edit"},
        {"command_id":"not-a-uuid","name":"lost","content":"x","mode":"snippet"},
        {"command_id":")" +
                    idB + R"(","name":"sig","content":"Best","metadata":{"k":"v"},"mode":"snippet"},
        {"command_id":")" +
                    idA + R"(","name":"odd","content":"","mode":"Snippet"}])"));
    auto pulled = runAwaitable(store->pullCommands());
    ASSERT_EQ(pulled.kind(), SupabaseStore::PullResult<std::vector<Command>>::Kind::success);
    auto fix = command(idA, "fix", true);
    fix.content = "Fix it";
    auto sig = command(idB, "sig", false, {{{"k", "v"}}});
    sig.content = "Best";
    auto odd = command(idA, "odd", true);
    odd.content = "";
    EXPECT_EQ(pulled.value(), (std::vector<Command>{fix, sig, odd}));

    http->enqueue(
        Reply::body(R"([{"command_id":"x","name":"a","content":null,"mode":"snippet"}])"));
    EXPECT_EQ(runAwaitable(store->pullCommands()).kind(),
              SupabaseStore::PullResult<std::vector<Command>>::Kind::failure);
    EXPECT_TRUE(
        logs.contains(R"(❌ [SupabaseStore] Pull commands failed: key "content" is missing)"));
}

TEST_F(SupabaseStoreTest, PullFailuresAreLoggedAndAnswered) {
    http->enqueue({Reply::error(HTTPError::httpError(401, R"({"message":"JWT expired"})")),
                   Reply::error(HTTPError::httpError(500, std::string("\xff", 1))),
                   Reply::error(HTTPError::httpError(502, "echo: Bearer AT-secret")),
                   Reply::error(HTTPError::timeout())});
    EXPECT_EQ(runAwaitable(store->pullProfile()).kind(),
              SupabaseStore::PullResult<RemoteProfile>::Kind::failure);
    EXPECT_EQ(runAwaitable(store->pullCommands()).kind(),
              SupabaseStore::PullResult<std::vector<Command>>::Kind::failure);
    EXPECT_EQ(runAwaitable(store->pullCommands()).kind(),
              SupabaseStore::PullResult<std::vector<Command>>::Kind::failure);
    EXPECT_EQ(runAwaitable(store->pullCommands()).kind(),
              SupabaseStore::PullResult<std::vector<Command>>::Kind::failure);
    EXPECT_EQ(logs.lines(),
              (std::vector<std::string>{
                  R"(❌ [SupabaseStore] Pull profile HTTP 401: {"message":"JWT expired"})",
                  "❌ [SupabaseStore] Pull commands HTTP 500: <no body>",
                  "❌ [SupabaseStore] Pull commands HTTP 502: <a body of 22 bytes that is not JSON>",
                  "❌ [SupabaseStore] Pull commands failed: timeout",
              }));
}

TEST_F(SupabaseStoreTest, NothingIsSentWithoutASession) {
    runAwaitable(auth->signOut());
    EXPECT_EQ(runAwaitable(store->pullProfile()).kind(),
              SupabaseStore::PullResult<RemoteProfile>::Kind::failure);
    EXPECT_TRUE(logs.contains("❌ [SupabaseStore] Pull profile failed: noSession"));
    EXPECT_EQ(errorOf<AuthError>(store->pushProfile("Ada", "")).kind(), AuthError::Kind::noSession);
    EXPECT_EQ(http->requestCount(), 0u);
}

TEST_F(SupabaseStoreTest, NetworkFailuresAreRetriedButCancellationIsNot) {
    http->enqueue({Reply::error(HTTPError::networkError("offline")), Reply::body("")});
    runAwaitable(store->pushProfile("Ada", ""));
    EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>{1s});
    EXPECT_EQ(logs.lines(), (std::vector<std::string>{
                                "⚠️ [SupabaseStore] POST /rest/v1/user_profiles attempt 1/3 "
                                "failed: networkError(offline)",
                                "✅ [SupabaseStore] Profile pushed"}));

    SupabaseStoreOptions options;
    options.sleep = [](std::chrono::steady_clock::duration) -> Awaitable<SleepResult> {
        co_return SleepResult::cancelled;
    };
    auto cancelled = std::make_shared<SupabaseStore>(http, auth, baseURL, anonKey, options);
    http->enqueue(Reply::error(HTTPError::httpError(503, "")));
    auto error = errorOf<std::system_error>(cancelled->pushProfile("Ada", ""));
    EXPECT_EQ(error.code(), asio::error::operation_aborted);
    EXPECT_EQ(http->requestCount(), 3u);
}

TEST_F(SupabaseStoreTest, RefreshesAnExpiringTokenFirst) {
    now += 3590s;
    http->enqueue({Reply::body(tokenAnswer("fresh")), Reply::body("[]")});
    runAwaitable(store->pullCommands());
    auto requests = http->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].header("Authorization"), "Bearer AT-fresh");
}
