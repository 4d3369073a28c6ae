#include "text/app_context.hpp"
#include "text/command.hpp"

#include <gtest/gtest.h>

using namespace pennial;

namespace {
const std::string id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

Command decode(const std::string& extra) {
    return Command::fromJson(
        json::parse(R"({"id":")" + id + R"(","name":"sig","content":"Best")" + extra + "}"));
}
} // namespace

TEST(Command, ModeIsReadOnlyWhenReplaceTextIsAbsentOrNull) {
    EXPECT_FALSE(decode(R"(,"mode":"snippet")").replaceText);
    EXPECT_TRUE(decode(R"(,"mode":"Snippet")").replaceText) << "case-sensitive";
    EXPECT_TRUE(decode(R"(,"mode":"")").replaceText);
    EXPECT_TRUE(decode(R"(,"replaceText":true,"mode":"snippet")").replaceText);
    EXPECT_FALSE(decode(R"(,"replaceText":null,"mode":"snippet")").replaceText);
    EXPECT_TRUE(decode("").replaceText);
}

TEST(Command, LegacyFormIsRewrittenInTheCurrentFormWithItsKeyOrder) {
    auto command = decode(R"(,"mode":"snippet","metadata":null,"other":1)");
    EXPECT_EQ(command.id.toString(), id);
    EXPECT_EQ(command.metadata, std::nullopt);
    EXPECT_EQ(json::dump(command.toJson()),
              R"({"id":")" + id + R"(","name":"sig","content":"Best","replaceText":false})");

    command.metadata = std::map<std::string, std::string>{{"k", "v"}};
    EXPECT_EQ(json::dump(command.toJson()),
              R"({"id":")" + id +
                  R"(","name":"sig","content":"Best","metadata":{"k":"v"},"replaceText":false})");
    EXPECT_EQ(Command::fromJson(json::parse(json::dump(command.toJson()))), command);
}

TEST(Command, WrongShapesFailTheRecord) {
    EXPECT_THROW(Command::fromJson(json::parse(R"({"id":")" + id + R"(","name":"x"})")),
                 JsonShapeError);
    EXPECT_THROW(decode(R"(,"replaceText":"yes")"), JsonShapeError);
    EXPECT_THROW(decode(R"(,"mode":1)"), JsonShapeError);
    EXPECT_THROW(decode(R"(,"metadata":{"k":1})"), JsonShapeError);
    EXPECT_THROW(Command::fromJson(json::parse(R"({"id":"nope","name":"x","content":""})")),
                 JsonShapeError);
    EXPECT_THROW(Command::fromJson(json::parse(R"({"id":")" + id + R"(","name":3,"content":""})")),
                 JsonShapeError);
}

TEST(Command, EqualityTellsAbsentMetadataFromEmpty) {
    auto a = Command::make("fix", "Fix it", true);
    auto b = a;
    EXPECT_EQ(a, b);
    b.metadata = std::map<std::string, std::string>{};
    EXPECT_NE(a, b);
    EXPECT_NE(Command::make("fix", "Fix it", true).id, a.id) << "each command gets its own id";
}

TEST(AppContext, OptionalKeysAreOmittedAndTheFirstThreeRequired) {
    AppContext context{"Mail", "org.example.mail", "Inbox", std::nullopt, std::nullopt};
    EXPECT_EQ(json::dump(context.toJson()),
              R"({"appName":"Mail","bundleIdentifier":"org.example.mail","windowTitle":"Inbox"})");
    context.surroundingText = "Hello";
    EXPECT_EQ(AppContext::fromJson(json::parse(json::dump(context.toJson()))), context);
    EXPECT_THROW(AppContext::fromJson(json::parse(R"({"appName":"a","bundleIdentifier":"b"})")),
                 JsonShapeError);
}
