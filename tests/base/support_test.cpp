#include "base/json.hpp"
#include "base/log.hpp"
#include "base/uuid.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(Uuid, WritesUpperCaseAndReadsEitherCase) {
    auto id = Uuid::random();
    auto text = id.toString();
    EXPECT_EQ(text.size(), 36u);
    EXPECT_EQ(text[14], '4');
    EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(Uuid::parse(text), id);
    auto lower = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->toString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_FALSE(Uuid::parse("E621E1F8C36C495A93FC0C247A3E6E5F"));
    EXPECT_FALSE(Uuid::parse("G621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
}

TEST(Json, ReadsFailClearlyAndNeverQuoteTheInput) {
    auto doc = json::parse(R"({"a":"x","b":true,"n":null,"num":3})");
    EXPECT_EQ(json::requireString(doc, "a"), "x");
    EXPECT_EQ(json::optionalBool(doc, "n"), std::nullopt);
    EXPECT_THROW(json::requireString(doc, "b"), JsonShapeError);
    EXPECT_THROW(json::requireString(doc, "missing"), JsonShapeError);
    try {
        json::parse(R"({"token":"secret-value)");
        FAIL();
    } catch (const JsonShapeError& e) {
        EXPECT_EQ(std::string(e.what()).find("secret"), std::string::npos);
    }
}

TEST(Json, DumpReplacesTextCutInsideACharacter) {
    Json value = {{"t", std::string("cut \xF0\x9F")}};
    EXPECT_EQ(json::dump(value), "{\"t\":\"cut \xEF\xBF\xBD\"}");
}

TEST(Json, DatesAreSecondsSinceTwoThousandOne) {
    auto epoch2001 = std::chrono::system_clock::from_time_t(978307200);
    EXPECT_DOUBLE_EQ(json::toReferenceSeconds(epoch2001 + std::chrono::seconds(90)), 90.0);
    EXPECT_EQ(json::fromReferenceSeconds(0.0), epoch2001);
}

TEST(Log, CaptureSeesLinesExactly) {
    LogCapture capture;
    logf("✅ [Pennial] Monitoring started {}", "successfully");
    EXPECT_TRUE(capture.contains("✅ [Pennial] Monitoring started successfully"));
    EXPECT_EQ(capture.matching("[Pennial]").size(), 1u);
}
