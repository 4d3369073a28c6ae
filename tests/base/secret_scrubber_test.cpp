#include "base/json.hpp"
#include "base/secret_scrubber.hpp"
#include "support/test_seed.hpp"

#include <atomic>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using namespace pennial;

namespace {

// Words a report carries that are no one's secret, and must come through whole.
const std::vector<std::string> harmless = {
    "App startup began",
    "httpError(statusCode: 503)",
    "config.json",
    "std::runtime_error",
    "version 0.5.35",
    "took 12345 ms",
    "id 1234567",
    "com.pennial.macos@0.5.35",
    "user@localhost",
    "a.b.c",
    "[Pennial] ready",
    "eyJ alone",
    "100% sure",
    "C:\\temp\\new",
    "loading…",
    "wait...",
    "50%2",
    "\\u12 short",
};

std::string randomFrom(std::mt19937& random, std::string_view alphabet, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i)
        out += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    return out;
}

std::string jsonEscaped(const std::string& value, bool asciiOnly = false) {
    auto text = Json(value).dump(-1, ' ', asciiOnly);
    return text.substr(1, text.size() - 2);
}

// How a message quotes a value: as it is, percent-encoded, JSON-escaped (as it is and with \u
// escapes for all that is not ASCII), escaped for JSON inside JSON, every ASCII character as a \u
// escape, or cut short before an ellipsis.
constexpr int quotingForms = 7;
std::string quoted(const std::string& value, int form) {
    switch (form) {
    case 1: {
        std::string out;
        for (unsigned char c : value)
            out += std::isalnum(c) || c == '-' || c == '_' ? std::string(1, char(c))
                                                           : fmt::format("%{:02X}", c);
        return out;
    }
    case 2:
        return jsonEscaped(value);
    case 3:
        return jsonEscaped(value, true);
    case 4:
        return jsonEscaped(jsonEscaped(value));
    case 5: {
        std::string out;
        for (unsigned char c : value)
            out += c < 0x80 ? fmt::format("\\u{:04x}", c) : std::string(1, char(c));
        return out;
    }
    case 6:
        if (value.size() > SecretScrubber::minCutLength + 1)
            return value.substr(0, std::max(SecretScrubber::minCutLength, value.size() * 2 / 3)) +
                   "…";
        return value;
    }
    return value;
}

} // namespace

// Reports are made of harmless words, secrets the scrubber was told, and secrets it was not told
// but can tell by their form (e-mail addresses with short and long top-level domains, signed
// tokens whole or cut after their header, six-digit codes), each quoted in any of the forms above
// or, of a text with several lines, one line alone; in any order and with any separator.
// Oracle: no secret is left in the form it was quoted in, every harmless word is.
TEST(SecretScrubber, NoSecretSurvivesAndEverythingElseDoes) {
    auto seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    const std::string lower = "abcdefghijklmnopqrstuvwxyz", digits = "0123456789";
    const std::string base64 = lower + "ABCDEFGHIJKLMNOPQRSTUVWXYZ" + digits + "-_";
    const std::vector<std::string> separators = {" ", "\n", "\"", ": ", "(", ")", ", ", "\t", "'"};

    const std::vector<std::string> topLevelDomains = {"de",     "uk",          "io",      "com",
                                                      "museum", "photography", "xn--p1ai"};
    const std::string special = "\"\\/@: .'<>&%";

    for (int round = 0; round < 300; ++round) {
        SecretScrubber scrubber;
        std::vector<std::string> pieces; // as the report quotes them
        // Told: tokens, field text (with quotes, spaces, non-ASCII, several lines), the session.
        for (int i = 0; i < 4; ++i) {
            auto told = randomFrom(random, base64, 4 + random() % 40);
            if (random() % 2)
                told += randomFrom(random, special, 1 + random() % 3) + "über " +
                        randomFrom(random, lower, 3) + " 😀";
            if (random() % 4 == 0) {
                auto line = "and then " + randomFrom(random, lower, 8);
                told += "\n" + line;
                pieces.push_back(line);
            }
            scrubber.remember(told);
            pieces.push_back(quoted(told, random() % quotingForms));
        }
        // Not told: found by their form.
        auto email = randomFrom(random, lower, 1 + random() % 8) + "." +
                     randomFrom(random, lower, 2) + "@" + randomFrom(random, lower, 5) + "." +
                     topLevelDomains[random() % topLevelDomains.size()];
        pieces.push_back(quoted(email, random() % 6));
        auto token = "eyJ" + randomFrom(random, base64, 20) + "." + randomFrom(random, base64, 30);
        if (random() % 2)
            token += "." + randomFrom(random, base64, 20);
        pieces.push_back(token);
        pieces.push_back(randomFrom(random, digits, 6));
        const std::size_t secretCount = pieces.size();

        pieces.insert(pieces.end(), harmless.begin(), harmless.end());
        std::shuffle(pieces.begin(), pieces.end(), random);
        std::string report;
        for (const auto& piece : pieces) {
            report += separators[random() % separators.size()] + piece;
            if (random() % 8 == 0)
                report += "…";
        }

        auto scrubbed = scrubber.scrub(report);
        std::size_t checked = 0;
        for (const auto& piece : pieces) {
            bool isHarmless = std::find(harmless.begin(), harmless.end(), piece) != harmless.end();
            if (isHarmless) {
                ASSERT_NE(scrubbed.find(piece), std::string::npos)
                    << piece << " lost from " << scrubbed;
            } else {
                ++checked;
                ASSERT_EQ(scrubbed.find(piece), std::string::npos) << piece << " in " << scrubbed;
            }
        }
        ASSERT_EQ(checked, secretCount);
    }
}

// Secrets are told on two threads while two others scrub: every secret told before the scrubs
// began is taken out of each of them.
TEST(SecretScrubber, IsSafeFromAnyThread) {
    SecretScrubber scrubber;
    std::vector<std::string> early;
    for (int i = 0; i < 8; ++i) {
        early.push_back("refresh-" + std::to_string(i * 7919) + "-kq7vz2xlpa");
        scrubber.remember(early.back());
    }
    std::atomic<int> leaks{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i)
                scrubber.remember("field " + std::to_string(t * 1000 + i) + "\nsecond line " +
                                  std::to_string(i));
        });
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                const auto& secret = early[i % early.size()];
                if (scrubber.scrub("refresh with " + secret + " failed").find(secret) !=
                    std::string::npos)
                    ++leaks;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(leaks, 0);
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
