#include "base/json.hpp"
#include "services/auth_session.hpp"
#include "services/supabase_auth_response.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

std::string messageFor(std::optional<std::string> body) {
    return authErrorMessage(body);
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

TEST(SupabaseAuthResponse, ErrorMessageFallsBackToTheBodyText) {
    EXPECT_EQ(messageFor(""), "");
    EXPECT_EQ(messageFor("Bad Gateway"), "Bad Gateway");
    EXPECT_EQ(messageFor(R"({"msg":42})"), R"({"msg":42})") << "wrong type: not the error shape";
    EXPECT_EQ(messageFor(R"(["msg"])"), R"(["msg"])");
    EXPECT_EQ(messageFor(std::string("\xff\xfe", 2)), "Unknown error");
}
