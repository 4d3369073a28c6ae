#include "services/app_config.hpp"

#include <gtest/gtest.h>

using namespace pennial;

namespace {
const std::string id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

Json document(const std::string& commands = "[]") {
    return json::parse(R"({"triggerPattern":";;","commands":)" + commands +
                       R"(,"apiBaseURL":"https:\/\/api.example.com","apiTimeout":10,)"
                       R"("userDisplayNames":"Ann","userWritingContext":"brief"})");
}
} // namespace

TEST(AppConfig, DefaultsShipTheEightCommandsWithStableIds) {
    auto config = AppConfig::defaults();
    std::vector<std::string> names;
    std::vector<bool> rewrites;
    for (const auto& command : config.commands) {
        names.push_back(command.name);
        rewrites.push_back(command.replaceText);
        EXPECT_EQ(command.metadata, std::nullopt);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"fix", "reply", "short", "tldr", "translate", "no",
                                               "ty", "sig"}));
    EXPECT_EQ(rewrites, (std::vector<bool>{true, true, true, true, true, false, false, false}));
    EXPECT_EQ(config.commands[7].content, "Best,\n<user's first name>");
    EXPECT_NE(config.commands[0].content.find("possible \u2014 only"), std::string::npos);
    EXPECT_EQ(config.triggerPattern, ";;");
    EXPECT_EQ(config.apiTimeout, 10.0);
    EXPECT_EQ(config.apiBaseURL, AppConfig::defaultApiBaseURL());
    EXPECT_TRUE(config.userDisplayNames.empty() && config.userWritingContext.empty());
    EXPECT_EQ(AppConfig::defaults(), config) << "the same ids for the whole run";
}

TEST(AppConfig, IsWrittenPrettyWithKeysSortedAtEveryLevel) {
    AppConfig config;
    config.apiBaseURL = "https://api.example.com";
    config.commands = {Command::make("sig", "Best", false, {{{"k", "v"}}})};
    config.commands[0].id = *Uuid::parse(id);
    EXPECT_EQ(json::dump(config.toJson(), 2), R"({
  "apiBaseURL": "https://api.example.com",
  "apiTimeout": 10.0,
  "commands": [
    {
      "content": "Best",
      "id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
      "metadata": {
        "k": "v"
      },
      "name": "sig",
      "replaceText": false
    }
  ],
  "triggerPattern": ";;",
  "userDisplayNames": "",
  "userWritingContext": ""
})");
    EXPECT_EQ(AppConfig::fromJson(config.toJson()), config);
}

TEST(AppConfig, ReadingNeedsAllSixKeysWithTheirTypes) {
    auto config = AppConfig::fromJson(document());
    EXPECT_EQ(config.apiBaseURL, "https://api.example.com") << "escaped slashes are read";
    EXPECT_EQ(config.apiTimeout, 10.0);
    EXPECT_EQ(config.userWritingContext, "brief");

    for (const char* key : {"triggerPattern", "commands", "apiBaseURL", "apiTimeout",
                            "userDisplayNames", "userWritingContext"}) {
        auto missing = document();
        missing.erase(key);
        EXPECT_THROW(AppConfig::fromJson(missing), JsonShapeError) << key;
        auto null = document();
        null[key] = nullptr;
        EXPECT_THROW(AppConfig::fromJson(null), JsonShapeError) << key;
    }
    auto wrong = document();
    wrong["apiTimeout"] = "10";
    EXPECT_THROW(AppConfig::fromJson(wrong), JsonShapeError);
    EXPECT_THROW(AppConfig::fromJson(json::parse("[]")), JsonShapeError);

    auto extra = document();
    extra["theme"] = "dark";
    EXPECT_FALSE(AppConfig::fromJson(extra).toJson().contains("theme"));
}

TEST(AppConfig, CommandsInTheLegacyFormLoadAndABrokenOneFailsTheDocument) {
    auto config = AppConfig::fromJson(document(R"([{"id":")" + id +
                                               R"(","name":"sig","content":"Best","mode":"snippet"},
        {"id":")" + id + R"(","name":"fix","content":"Fix"}])"));
    ASSERT_EQ(config.commands.size(), 2u);
    EXPECT_FALSE(config.commands[0].replaceText);
    EXPECT_TRUE(config.commands[1].replaceText);
    EXPECT_FALSE(config.toJson()["commands"][0].contains("mode"));

    EXPECT_THROW(AppConfig::fromJson(document(R"([{"id":")" + id + R"(","name":"fix"}])")),
                 JsonShapeError);
    EXPECT_THROW(AppConfig::fromJson(document(R"({})")), JsonShapeError);
}
