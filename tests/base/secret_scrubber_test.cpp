#include "base/secret_scrubber.hpp"
#include "support/test_seed.hpp"

#include <gtest/gtest.h>
#include <random>

using namespace pennial;

namespace {

// Words a report carries that are no one's secret, and must come through whole.
const std::vector<std::string> harmless = {
    "App startup began", "httpError(statusCode: 503)",
    "config.json",       "std::runtime_error",
    "version 0.5.35",    "took 12345 ms",
    "id 1234567",        "com.pennial.macos@0.5.35",
    "user@localhost",    "a.b.c",
    "[Pennial] ready",   "eyJ alone",
};

std::string randomFrom(std::mt19937& random, std::string_view alphabet, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i)
        out += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    return out;
}

} // namespace

// Reports are made of harmless words, secrets the scrubber was told, and secrets it was not told
// but can tell by their form (e-mail addresses, signed tokens, six-digit codes), in any order and
// with any separator. Oracle: no secret is left, every harmless word is.
TEST(SecretScrubber, NoSecretSurvivesAndEverythingElseDoes) {
    auto seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    const std::string lower = "abcdefghijklmnopqrstuvwxyz", digits = "0123456789";
    const std::string base64 = lower + "ABCDEFGHIJKLMNOPQRSTUVWXYZ" + digits + "-_";
    const std::vector<std::string> separators = {" ", "\n", "\"", ": ", "(", ")", ", ", "\t", "'"};

    for (int round = 0; round < 300; ++round) {
        SecretScrubber scrubber;
        std::vector<std::string> secrets;
        // Told: tokens, field text (with spaces and non-ASCII), the session record.
        for (int i = 0; i < 4; ++i) {
            auto told = randomFrom(random, base64, 4 + random() % 40);
            if (random() % 2)
                told += " über " + randomFrom(random, lower, 3);
            scrubber.remember(told);
            secrets.push_back(told);
        }
        // Not told: found by their form.
        secrets.push_back(randomFrom(random, lower, 1 + random() % 8) + "." +
                          randomFrom(random, lower, 2) + "@" + randomFrom(random, lower, 5) +
                          ".example");
        secrets.push_back("eyJ" + randomFrom(random, base64, 20) + "." +
                          randomFrom(random, base64, 30) + "." + randomFrom(random, base64, 20));
        secrets.push_back(randomFrom(random, digits, 6));

        std::vector<std::string> pieces = secrets;
        pieces.insert(pieces.end(), harmless.begin(), harmless.end());
        std::shuffle(pieces.begin(), pieces.end(), random);
        std::string report;
        for (const auto& piece : pieces)
            report += separators[random() % separators.size()] + piece;

        auto scrubbed = scrubber.scrub(report);
        for (const auto& secret : secrets)
            ASSERT_EQ(scrubbed.find(secret), std::string::npos) << secret << " in " << scrubbed;
        for (const auto& word : harmless)
            ASSERT_NE(scrubbed.find(word), std::string::npos) << word << " lost from " << scrubbed;
    }
}

TEST(SecretScrubber, LearnsTheSecretMembersOfADocumentAtAnyDepth) {
    SecretScrubber scrubber;
    scrubber.rememberSecretsIn(R"({"access_token":"tok-AAAA","token_type":"bearer",
        "user":{"email":"ada@example.test","aud":"authenticated","id":"u-1"},
        "context":{"surroundingText":"the field's text","appName":"Notes"},
        "user_display_names":["Ada","Augusta King"]})");
    scrubber.rememberSecretsIn("not JSON at all");
    EXPECT_EQ(scrubber.scrub("tok-AAAA for Augusta King: the field's text"),
              "[Filtered] for [Filtered]: [Filtered]");
    EXPECT_EQ(scrubber.scrub("bearer authenticated Notes not JSON at all"),
              "bearer authenticated Notes not JSON at all");
}
