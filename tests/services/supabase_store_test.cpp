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

    void expectCommonHeaders(const HTTPRequest& request) {
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("apikey"), "anon-key-46");
        EXPECT_EQ(request.header("Authorization"), "Bearer AT-user");
        EXPECT_EQ(request.timeout, 60s);
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

TEST_F(SupabaseStoreTest, PushesTheProfileAndTheCommands) {
    http->enqueue({Reply::body(""), Reply::body("")});
    auto trailing = makeStore("https://project.example.test/");
    runAwaitable(trailing->pushProfile("Ada", "Short and warm."));
    runAwaitable(trailing->pushCommands(
        {command(idA, "fix", true, {{{"k", "v"}}}), command(idB, "sig", false)}));

    auto requests = http->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].url, "https://project.example.test/rest/v1/user_profiles");
    expectCommonHeaders(requests[0]);
    EXPECT_EQ(requests[0].header("Prefer"), "resolution=merge-duplicates");
    EXPECT_EQ(json::parse(*requests[0].body), (Json{{"user_id", "user 1&x=y"},
                                                    {"user_display_names", "Ada"},
                                                    {"user_writing_context", "Short and warm."}}));

    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].url, "https://project.example.test/rest/v1/rpc/upsert_user_commands");
    expectCommonHeaders(requests[1]);
    EXPECT_EQ(requests[1].header("Prefer"), std::nullopt);
    EXPECT_EQ(json::parse(*requests[1].body), json::parse(R"({"p_commands":[
                  {"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"fix","content":"Do fix",
                   "mode":"smart_edit","metadata":{"k":"v"}},
                  {"id":"0C247A3E-6E5F-495A-93FC-E621E1F8C36C","name":"sig","content":"Do sig",
                   "mode":"snippet"}]})"));
    EXPECT_TRUE(logs.contains("✅ [SupabaseStore] Profile pushed"));
    EXPECT_TRUE(logs.contains("✅ [SupabaseStore] Commands pushed"));

    http->enqueue(Reply::body(""));
    runAwaitable(store->pushCommands({}));
    EXPECT_EQ(*http->requests().back().body, R"({"p_commands":[]})");
}

TEST_F(SupabaseStoreTest, PullsAskForTheUsersRowsWithAnEncodedId) {
    http->enqueue({Reply::body("[]"), Reply::body("[]")});
    EXPECT_EQ(runAwaitable(store->pullProfile()).kind(),
              SupabaseStore::PullResult<RemoteProfile>::Kind::noRemoteData);
    auto commands = runAwaitable(store->pullCommands());
    ASSERT_EQ(commands.kind(), SupabaseStore::PullResult<std::vector<Command>>::Kind::success);
    EXPECT_TRUE(commands.value().empty());

    auto requests = http->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].url, "https://project.example.test/rest/v1/user_profiles?user_id=eq."
                               "user%201%26x%3Dy&select=user_display_names,user_writing_context");
    expectCommonHeaders(requests[0]);
    EXPECT_EQ(requests[0].body, std::nullopt);
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].url, "https://project.example.test/rest/v1/user_commands?user_id=eq."
                               "user%201%26x%3Dy&select=command_id,name,content,metadata,mode");
    expectCommonHeaders(requests[1]);
}

TEST_F(SupabaseStoreTest, PulledProfileIsTheFirstRowWithMissingOrNullValuesEmpty) {
    http->enqueue({
        Reply::body(R"([{"user_display_names":"Ada","user_writing_context":null},
                        {"user_display_names":"Other"}])"),
        Reply::body(R"([{"user_writing_context":"Terse."}])"),
        Reply::body(R"([{"user_display_names":"Ada","user_writing_context":3}])"),
        Reply::body(R"({"user_display_names":"Ada"})"),
    });
    auto first = runAwaitable(store->pullProfile());
    ASSERT_EQ(first.kind(), SupabaseStore::PullResult<RemoteProfile>::Kind::success);
    EXPECT_EQ(first.value(), (RemoteProfile{"Ada", ""}));
    EXPECT_EQ(runAwaitable(store->pullProfile()).value(), (RemoteProfile{"", "Terse."}));
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
                   Reply::error(HTTPError::timeout())});
    EXPECT_EQ(runAwaitable(store->pullProfile()).kind(),
              SupabaseStore::PullResult<RemoteProfile>::Kind::failure);
    EXPECT_EQ(runAwaitable(store->pullCommands()).kind(),
              SupabaseStore::PullResult<std::vector<Command>>::Kind::failure);
    EXPECT_EQ(runAwaitable(store->pullCommands()).kind(),
              SupabaseStore::PullResult<std::vector<Command>>::Kind::failure);
    EXPECT_EQ(logs.lines(),
              (std::vector<std::string>{
                  R"(❌ [SupabaseStore] Pull profile HTTP 401: {"message":"JWT expired"})",
                  "❌ [SupabaseStore] Pull commands HTTP 500: <no body>",
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

TEST_F(SupabaseStoreTest, AClientErrorIsSentOnce) {
    http->enqueue(Reply::error(HTTPError::httpError(409, R"({"code":"23505"})")));
    auto error = errorOf<HTTPError>(store->pushProfile("Ada", ""));
    EXPECT_EQ(error.statusCode(), 409);
    EXPECT_EQ(http->requestCount(), 1u);
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(logs.lines(),
              std::vector<std::string>{
                  R"(❌ [SupabaseStore] POST /rest/v1/user_profiles → HTTP 409: {"code":"23505"})"});
}

TEST_F(SupabaseStoreTest, OtherFailuresAreSentThreeTimesWithGrowingWaits) {
    for (int status : {429, 503}) {
        http->enqueue({Reply::error(HTTPError::httpError(status, "a")),
                       Reply::error(HTTPError::httpError(status, "b")),
                       Reply::error(HTTPError::httpError(status, "c"))});
        auto error = errorOf<HTTPError>(store->pushCommands({}));
        EXPECT_EQ(error, HTTPError::httpError(status, "c")) << "the last error";
        EXPECT_EQ(waits, (std::vector<std::chrono::milliseconds>{1s, 2s}));
        auto prefix = "⚠️ [SupabaseStore] POST /rest/v1/rpc/upsert_user_commands attempt ";
        auto failure = fmt::format(" failed: httpError(statusCode: {})", status);
        EXPECT_EQ(logs.lines(), (std::vector<std::string>{prefix + std::string("1/3") + failure,
                                                          prefix + std::string("2/3") + failure,
                                                          prefix + std::string("3/3") + failure}));
        logs.clear();
        waits.clear();
    }
    EXPECT_EQ(http->requestCount(), 6u);

    http->enqueue({Reply::error(HTTPError::networkError("offline")), Reply::body("")});
    runAwaitable(store->pushProfile("Ada", ""));
    EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>{1s});
    EXPECT_EQ(http->requestCount(), 8u);
    EXPECT_TRUE(logs.contains("✅ [SupabaseStore] Profile pushed"));
}

TEST_F(SupabaseStoreTest, ACancelledPushStopsRetrying) {
    SupabaseStoreOptions options;
    options.sleep = [](std::chrono::steady_clock::duration) -> Awaitable<SleepResult> {
        co_return SleepResult::cancelled;
    };
    auto cancelling = std::make_shared<SupabaseStore>(http, auth, baseURL, anonKey, options);
    http->enqueue(Reply::error(HTTPError::httpError(503, "")));
    try {
        runAwaitable(cancelling->pushProfile("Ada", ""));
        ADD_FAILURE() << "not cancelled";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), asio::error::operation_aborted);
    }
    EXPECT_EQ(http->requestCount(), 1u);
}

TEST_F(SupabaseStoreTest, RefreshesAnExpiringTokenFirst) {
    now += 3590s;
    http->enqueue({Reply::body(tokenAnswer("fresh")), Reply::body("[]")});
    runAwaitable(store->pullCommands());
    auto requests = http->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].header("Authorization"), "Bearer AT-fresh");
}
