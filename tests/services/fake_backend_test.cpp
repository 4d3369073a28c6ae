#include "run_awaitable.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_backend.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::testing;

namespace {

class FakeBackendTest : public ::testing::Test {
protected:
    // Status and body of one exchange.
    std::pair<int, std::string> exchange(std::string method, const std::string& pathAndQuery,
                                         const Json& body = nullptr, std::string token = "") {
        HTTPRequest request;
        request.url = backend.baseURL() + pathAndQuery;
        request.method = std::move(method);
        request.setHeader("apikey", "publishable-key");
        request.setHeader("Authorization", "Bearer " + (token.empty() ? "publishable-key" : token));
        if (!body.is_null())
            request.body = json::dump(body);
        try {
            return {200, runAwaitable(client.execute(request))};
        } catch (const HTTPError& error) {
            return {error.statusCode(), error.data().value_or("")};
        }
    }

    FakeBackend backend;
    CurlHttpClient client;
};

} // namespace

TEST_F(FakeBackendTest, SignsInRefreshesOnceAndKeepsTheUsersRows) {
    EXPECT_EQ(exchange("POST", "/auth/v1/otp", {{"email", "ann@example.com"}}).first, 200);
    EXPECT_EQ(exchange("POST", "/auth/v1/verify",
                       {{"email", "ann@example.com"}, {"token", "000000"}, {"type", "email"}})
                  .first,
              403);
    auto [status, body] =
        exchange("POST", "/auth/v1/verify",
                 {{"email", "ann@example.com"}, {"token", "123456"}, {"type", "email"}});
    ASSERT_EQ(status, 200);
    auto session = json::parse(body);
    auto userId = session["user"]["id"].get<std::string>();
    EXPECT_EQ(session["expires_in"], 3600);
    EXPECT_EQ(session["user"]["email"], "ann@example.com");

    Json refresh = {{"refresh_token", session["refresh_token"]}};
    auto refreshed = exchange("POST", "/auth/v1/token?grant_type=refresh_token", refresh);
    EXPECT_EQ(refreshed.first, 200);
    EXPECT_EQ(json::parse(refreshed.second)["user"]["id"], userId);
    EXPECT_EQ(exchange("POST", "/auth/v1/token?grant_type=refresh_token", refresh).first, 400)
        << "refresh tokens are single-use";

    auto token = json::parse(refreshed.second)["access_token"].get<std::string>();
    exchange("POST", "/rest/v1/user_profiles",
             {{"user_id", userId}, {"user_display_names", "Ann"}, {"user_writing_context", ""}},
             token);
    exchange("POST", "/rest/v1/rpc/upsert_user_commands",
             {{"p_commands",
               {{{"id", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
                 {"name", "sig"},
                 {"content", "Best"},
                 {"mode", "snippet"}}}}},
             token);
    EXPECT_EQ(exchange("GET",
                       "/rest/v1/user_profiles?user_id=eq." + userId +
                           "&select=user_display_names,user_writing_context",
                       nullptr, token)
                  .second,
              R"([{"user_display_names":"Ann","user_writing_context":""}])");
    EXPECT_EQ(exchange("GET",
                       "/rest/v1/user_commands?user_id=eq." + userId +
                           "&select=command_id,name,content,metadata,mode",
                       nullptr, token)
                  .second,
              R"([{"command_id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","content":"Best",)"
              R"("metadata":null,"mode":"snippet","name":"sig"}])");
    EXPECT_EQ(
        exchange("GET", "/rest/v1/user_profiles?user_id=eq.someone-else", nullptr, token).second,
        "[]");
}
