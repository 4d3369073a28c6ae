#include "base/json.hpp"
#include "base/unicode.hpp"
#include "services/auth_session.hpp"
#include "services/supabase_auth_response.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

std::string messageFor(std::optional<std::string> body) {
    return authErrorMessage(502, body);
}

} // namespace

TEST(AuthSession, StoredFormRoundTripsAndCountsSecondsFrom2001) {
    AuthSession session{"u", "AT-a", "RT-a", json::fromReferenceSeconds(700'000'000.5), "a@b.c"};
    auto object = json::parse(session.toJson());
    EXPECT_DOUBLE_EQ(object["expiresAt"].get<double>(), 700'000'000.5);
    EXPECT_EQ(object.size(), 5u);
    EXPECT_EQ(AuthSession::fromJson(session.toJson()), session);
}

TEST(AuthSession, MissingUserIdReadsEmptyButOtherKeysAreRequired) {
    auto session = AuthSession::fromJson(
        R"({"accessToken":"AT-a","refreshToken":"RT-a","expiresAt":1,"userEmail":""})");
    EXPECT_EQ(session.userId, "");
    EXPECT_EQ(session.accessToken, "AT-a");
    EXPECT_EQ(AuthSession::fromJson(R"({"userId":null,"accessToken":"AT-a","refreshToken":"RT-a",
                                       "expiresAt":1,"userEmail":""})")
                  .userId,
              "");

    for (
        const char* broken : {
            R"({"accessToken":"AT-a","refreshToken":"RT-a","expiresAt":"2024-01-01","userEmail":""})",
            R"({"accessToken":"AT-a","refreshToken":"RT-a","expiresAt":1})",
            R"({"accessToken":"AT-a","refreshToken":"RT-a","expiresAt":1e300,"userEmail":""})",
            R"({"accessToken":"AT-a","refreshToken":"RT-a","expiresAt":1e999,"userEmail":""})",
            // beyond what the nanosecond clock holds
            R"({"accessToken":"AT-a","refreshToken":"RT-a","expiresAt":8.3e9,"userEmail":""})",
            R"({"accessToken":"AT-a","refreshToken":"RT-a","expiresAt":-1.1e10,"userEmail":""})",
            R"(["AT-a"])",
            R"({"accessToken":"AT-a", "refreshToken":)",
        }) {
        try {
            AuthSession::fromJson(broken);
            ADD_FAILURE() << "decoded: " << broken;
        } catch (const JsonShapeError& error) {
            EXPECT_EQ(std::string(error.what()).find("AT-a"), std::string::npos) << error.what();
        }
    }
}

TEST(SupabaseAuthResponse, BuildsTheSessionFromTheAnswer) {
    auto now = std::chrono::system_clock::time_point(1'700'000'000s);
    auto response = SupabaseAuthResponse::fromJson(
        R"({"access_token":"AT-n","refresh_token":"RT-n","expires_in":3600,"expires_at":9,
            "user":{"id":"u-9","email":null,"role":"authenticated"}})");
    EXPECT_EQ(response.session(now),
              (AuthSession{"u-9", "AT-n", "RT-n", now + 3600s, /*userEmail*/ ""}));

    EXPECT_THROW(
        SupabaseAuthResponse::fromJson(
            R"({"access_token":"a","refresh_token":"r","expires_in":"3600","user":{"id":"u"}})"),
        JsonShapeError);
    EXPECT_THROW(
        SupabaseAuthResponse::fromJson(
            R"({"access_token":"a","refresh_token":"r","expires_in":36.5,"user":{"id":"u"}})"),
        JsonShapeError);
    EXPECT_THROW(
        SupabaseAuthResponse::fromJson(
            R"({"access_token":"a","refresh_token":"r","expires_in":1e18,"user":{"id":"u"}})"),
        JsonShapeError)
        << "a lifetime that overflows the clock";
    EXPECT_THROW(SupabaseAuthResponse::fromJson(
                     R"({"access_token":"a","refresh_token":"r","expires_in":60})"),
                 JsonShapeError);
}

TEST(SupabaseAuthResponse, ErrorMessagePrefersMsgThenDescriptionThenError) {
    EXPECT_EQ(messageFor(R"({"msg":"m","error":"e"})"), "m");
    EXPECT_EQ(messageFor(R"({"error_description":"d","error":"e"})"), "d");
    EXPECT_EQ(messageFor(R"({"error":"e","code":400})"), "e");
    EXPECT_EQ(messageFor(R"({"msg":"","error":"e"})"), "");
    EXPECT_EQ(messageFor("{}"), "Unknown error");
    EXPECT_EQ(messageFor(std::nullopt), "Unknown error");
}

// Bodies that echo the request must not carry its token or code into logs, reports and screens.
TEST(SupabaseAuthResponse, ErrorMessageNeverQuotesABodyThatIsNotTheErrorShape) {
    const std::string generic = "The server answered with status 502";
    EXPECT_EQ(messageFor(""), "");
    EXPECT_EQ(messageFor(R"(upstream error for request {"refresh_token":"RT-secret"})"), generic);
    EXPECT_EQ(messageFor(R"({"msg":42,"refresh_token":"RT-secret"})"), generic);
    EXPECT_EQ(messageFor(R"(["msg"])"), generic);
    EXPECT_EQ(messageFor(std::string("\xff\xfe", 2)), generic);

    auto echoed = messageFor(R"({"msg":"line\none\t)" + std::string(300, 'x') + R"("})");
    EXPECT_EQ(unicode::graphemeCount(echoed), 200u);
    EXPECT_EQ(echoed.rfind("line one ", 0), 0u) << "one line of plain text";
    EXPECT_EQ(echoed.find('\n'), std::string::npos);
}
