#include "base/log.hpp"
#include "local_backend/local_backend.hpp"

#include <gtest/gtest.h>
#include <httplib.h>

using namespace pennial;
using pennial::local_backend::localTransform;

TEST(LocalBackend, AnswersEachCommandByItsRuleAndSaysWhereTheAnswerCameFrom) {
    EXPECT_EQ(localTransform("fix", "  helo  wrld. is it  ok\n", "", "smart_edit"),
              "Helo wrld. Is it ok. (local backend: fix)");
    EXPECT_EQ(localTransform("fix", "Done!", "", "smart_edit"), "Done! (local backend: fix)");
    EXPECT_EQ(localTransform("short", "First one. Then more.", "", "smart_edit"),
              "First one. (local backend: short)");
    EXPECT_EQ(localTransform("short", "v1.2 is out", "", "smart_edit"),
              "v1.2 is out (local backend: short)");
    EXPECT_EQ(localTransform("reply", "héllo", "", "smart_edit"), "héllo (local backend: reply)");
    EXPECT_EQ(localTransform("ty", "", "Thanks <for what>!", "snippet"), "Thanks (local backend)!");
}

TEST(LocalBackend, EachCodeRequestPrintsANewCodeThatSignsIn) {
    pennial::testing::FakeBackend backend;
    local_backend::installLocalAnswers(backend);
    httplib::Client client(backend.baseURL());
    const httplib::Headers headers{{"apikey", "key"}};
    auto verify = [&](const std::string& code) {
        auto answer = client.Post(
            "/auth/v1/verify", headers,
            json::dump(Json{{"email", "ann@example.com"}, {"token", code}, {"type", "email"}}),
            "application/json");
        return answer ? answer->status : -1;
    };
    auto requestCode = [&] {
        LogCapture log;
        auto answer =
            client.Post("/auth/v1/otp", headers, json::dump(Json{{"email", "ann@example.com"}}),
                        "application/json");
        EXPECT_TRUE(answer && answer->status == 200);
        const auto lines = log.matching("🔵 [LocalBackend] Sign-in code: ");
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? std::string() : lines[0].substr(lines[0].rfind(' ') + 1);
    };

    const auto first = requestCode();
    const auto second = requestCode();
    ASSERT_EQ(second.size(), 6u);
    if (first != second)
        EXPECT_EQ(verify(first), 403) << "a newer request replaces the code";
    EXPECT_EQ(verify(second), 200);

    auto refused =
        client.Post("/auth/v1/otp", headers, R"({"email":"nobody"})", "application/json");
    EXPECT_EQ(refused ? refused->status : -1, 400);
}
