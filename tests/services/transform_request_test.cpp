#include "services/transform_request.hpp"
#include "services/transform_response.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(TransformRequest, OptionalPartsAreLeftOutNotNulled) {
    TransformRequest bare{"hi", "fix", "Fix it", "smart_edit", {}, {}, {}};
    EXPECT_EQ(json::dump(bare.toJson()),
              R"({"text":"hi","command":"fix","content":"Fix it","mode":"smart_edit"})");

    TransformRequest full = bare;
    full.context = AppContext{"Mail", "org.mail", "Inbox", std::nullopt, "Hello Ann"};
    full.userDisplayNames = "";
    full.userWritingContext = "brief";
    auto encoded = full.toJson();
    EXPECT_EQ(json::dump(encoded["context"]),
              R"({"appName":"Mail","bundleIdentifier":"org.mail","windowTitle":"Inbox",)"
              R"("surroundingText":"Hello Ann"})");
    EXPECT_EQ(encoded["userDisplayNames"], "") << "an empty string is a value";
    EXPECT_EQ(TransformRequest::fromJson(encoded), full);
    EXPECT_EQ(TransformRequest::fromJson(json::parse(
                  R"({"text":"hi","command":"fix","content":"Fix it","mode":"smart_edit",)"
                  R"("context":null,"userDisplayNames":null})")),
              bare);
    EXPECT_THROW(TransformRequest::fromJson(json::parse(R"({"text":"hi","command":"fix"})")),
                 JsonShapeError);
}

TEST(TransformResponse, NeedsTheTextAndAWholeProcessingTime) {
    auto decode = [](const char* text) { return TransformResponse::fromJson(json::parse(text)); };
    EXPECT_EQ(decode(R"({"transformedText":"Hi."})"), (TransformResponse{"Hi.", std::nullopt}));
    EXPECT_EQ(decode(R"({"transformedText":"Hi.","processingTimeMs":null,"model":"x"})"),
              (TransformResponse{"Hi.", std::nullopt}));
    EXPECT_EQ(decode(R"({"transformedText":"","processingTimeMs":1234})").processingTimeMs, 1234);
    EXPECT_EQ(decode(R"({"transformedText":"","processingTimeMs":-5})").processingTimeMs, -5);
    for (const char* broken :
         {R"({})", R"({"transformedText":null})", R"({"transformedText":42})",
          R"({"transformedText":"Hi.","processingTimeMs":"12"})",
          R"({"transformedText":"Hi.","processingTimeMs":1.5})",
          R"({"transformedText":"Hi.","processingTimeMs":18446744073709551615})", R"([])"})
        EXPECT_THROW(decode(broken), JsonShapeError) << broken;
}
