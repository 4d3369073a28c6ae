// The linear trigger scanner against the regular expressions it replaces, run through ICU: same
// matches, same groups, on generated and exhaustively enumerated texts.

#include "support/trigger_printers.hpp"
#include "text/trigger_search.hpp"
#include "text/trigger_state_machine.hpp"

#include <gtest/gtest.h>
#include <random>

using namespace pennial;
using unicode::toUtf16;
using unicode::toUtf8;

namespace {

// The reference: the two expressions over the escaped pattern, run by the engine.
class Reference {
public:
    explicit Reference(std::u16string_view pattern)
        : complete_(compile(pattern, R"(\s*(\w+)$)")),
          partial_(compile(pattern, R"(\s*(\w*)(?=\s*$))")) {}

    std::vector<PatternMatch> complete(std::u16string_view text) const {
        return matches(complete_, text);
    }
    std::optional<PatternMatch> partial(std::u16string_view text) const {
        auto all = matches(partial_, text);
        if (all.empty())
            return std::nullopt;
        return all.back();
    }

private:
    static unicode::Regex compile(std::u16string_view pattern, std::string_view tail) {
        auto regex =
            unicode::Regex::compile(unicode::escapeRegex(toUtf8(pattern)) + std::string(tail));
        EXPECT_TRUE(regex);
        return *regex;
    }
    static std::vector<PatternMatch> matches(const unicode::Regex& regex,
                                             std::u16string_view text) {
        std::vector<PatternMatch> found;
        for (const auto& match : regex.findAll(text))
            found.push_back({match.groups.at(0).value(), match.groups.at(1).value()});
        return found;
    }

    unicode::Regex complete_, partial_;
};

const std::set<std::string> validNames = {"fix", "sig", "a", "ab", "é", "e\u0301", "𝐀", "_9"};

// What a fresh machine must report for the text, built from the reference matches.
std::vector<Effect> referenceEffects(std::u16string_view text, const Reference& reference) {
    auto slice = [&](unicode::Utf16Range r) { return toUtf8(text.substr(r.location, r.length)); };
    std::vector<Effect> effects;
    if (auto partial = reference.partial(text)) {
        auto before = toUtf8(text.substr(0, partial->whole.location));
        effects.push_back(Effect::previewUpdated(
            slice(partial->whole), slice(partial->name), (long long)partial->whole.location,
            !unicode::trimWhitespaceAndNewlines(before).empty()));
    }
    auto complete = reference.complete(text);
    for (auto it = complete.rbegin(); it != complete.rend(); ++it) {
        if (validNames.contains(slice(it->name))) {
            effects.push_back(Effect::triggerDetected(slice(it->name), slice(it->whole),
                                                      (long long)it->whole.location));
            break;
        }
    }
    return effects;
}

std::string describe(std::u16string_view text) {
    std::string out;
    for (char16_t c : text)
        out += (c >= 0x20 && c < 0x7F) ? std::string(1, char(c)) : fmt::format("\\u{:04X}", int(c));
    return out;
}

void expectSameAsEngine(std::u16string_view text, std::u16string_view pattern,
                        const Reference& reference) {
    TriggerSearch search(text, pattern);
    ASSERT_EQ(search.completeTriggers(), reference.complete(text))
        << "pattern '" << describe(pattern) << "' text '" << describe(text) << "'";
    ASSERT_EQ(search.lastPartialTrigger(), reference.partial(text))
        << "pattern '" << describe(pattern) << "' text '" << describe(text) << "'";
}

std::u16string patternPrefix(std::u16string_view pattern) {
    return std::u16string(pattern.substr(0, pattern.size() / 2 == 0 ? 1 : pattern.size() / 2));
}

// Patterns full of metacharacters, word characters, blanks and characters outside the BMP.
const std::vector<std::u16string> patterns = {u";;", u"//",  u"$$", u".*", u"\\",  u"\\E",
                                              u"a",  u"ab",  u"é",  u"😀",  u"x y", u";",
                                              u"((", u"[a]", u"^|", u" ;", u"\t",  u"?+{2}"};

// Names, blanks, every kind of line break, marks, joiners, emoji and plain punctuation.
const std::vector<std::u16string> fragments = {
    u"fix",    u"sig",    u"fi",     u"a",  u"_",    u"9",  u"é",  u"e\u0301", u"𝐀",      u"٣",
    u"\u200d", u"!",      u"-",      u".",  u"😀",    u"$",  u" ",  u"  ",      u"\t",     u"\u00a0",
    u"\u3000", u"\u2003", u"\n",     u"\r", u"\r\n", u"\v", u"\f", u"\u0085",  u"\u2028", u"\u2029",
    u"\u001c", u"\u200b", u"\n\n  ", u"x",  u"ß",    u"\\", u";",  u"/",       u"*",      u"E"};

} // namespace

TEST(TriggerSearch, AgreesWithTheEngineOnGeneratedTexts) {
    std::mt19937 random(20240607);
    int completeFound = 0, partialFound = 0, emptyNameBeforeLineBreak = 0;
    for (const auto& pattern : patterns) {
        const auto prefix = patternPrefix(pattern);
        const Reference reference(pattern);
        for (int round = 0; round < 1500; ++round) {
            std::u16string text;
            int pieces = std::uniform_int_distribution<int>(0, 24)(random);
            for (int i = 0; i < pieces; ++i) {
                int pick = std::uniform_int_distribution<int>(0, 9)(random);
                if (pick == 0)
                    text += pattern;
                else if (pick == 1)
                    text += prefix;
                else
                    text += fragments[std::uniform_int_distribution<std::size_t>(
                        0, fragments.size() - 1)(random)];
            }
            expectSameAsEngine(text, pattern, reference);
            if (HasFatalFailure())
                return;
            TriggerSearch search(text, pattern);
            completeFound += !search.completeTriggers().empty();
            auto partial = search.lastPartialTrigger();
            partialFound += partial.has_value();
            emptyNameBeforeLineBreak +=
                partial && partial->name.length == 0 && partial->name.location < text.size();
        }
    }
    // The corpus must reach every road of the scanner, or agreement proves little.
    EXPECT_GT(completeFound, 3000);
    EXPECT_GT(partialFound, 5000);
    EXPECT_GT(emptyNameBeforeLineBreak, 300);
}

TEST(TriggerSearch, AgreesWithTheEngineOnEveryShortText) {
    // All texts up to six characters over alphabets that mix the pattern's own characters with
    // names, blanks and both halves of CR LF.
    const std::vector<std::pair<std::u16string, std::u16string>> cases = {
        {u";;", u";a \r\n!"}, {u"a", u"ab \n\r."}, {u" a", u"a ;\u2028\r"}};
    for (const auto& [pattern, alphabet] : cases) {
        const Reference reference(pattern);
        std::vector<std::size_t> digits;
        for (std::size_t length = 0; length <= 6; ++length) {
            digits.assign(length, 0);
            for (;;) {
                std::u16string text;
                for (auto d : digits)
                    text += alphabet[d];
                expectSameAsEngine(text, pattern, reference);
                if (HasFatalFailure())
                    return;
                std::size_t i = 0;
                while (i < length && ++digits[i] == alphabet.size())
                    digits[i++] = 0;
                if (i == length)
                    break;
            }
        }
    }
}

TEST(TriggerSearch, ClassifiesEveryCharacterAsTheEngineDoes) {
    // One candidate per code point: "c" after the pattern ends a name, starts a blank or neither,
    // and may itself end the line.
    std::u16string words, blanks;
    for (char32_t c = 1; c < 0x20000; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        std::u16string unit;
        if (c > 0xFFFF) {
            unit += char16_t(0xD800 + ((c - 0x10000) >> 10));
            unit += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit += char16_t(c);
        }
        words += u";;" + unit + u"\n";
        blanks += u";;" + unit + u"x\n";
    }
    const Reference reference(u";;");
    expectSameAsEngine(words, u";;", reference);
    expectSameAsEngine(blanks, u";;", reference);
}

TEST(TriggerSearch, MatchesTheEngineEndToEndThroughTheStateMachine) {
    std::mt19937 random(7);
    for (const auto& pattern : patterns) {
        if (toUtf8(pattern).find_first_not_of(" \t") == std::string::npos)
            continue; // blank patterns are refused by the machine itself
        const Reference reference(pattern);
        for (int round = 0; round < 400; ++round) {
            std::u16string text;
            int pieces = std::uniform_int_distribution<int>(0, 16)(random);
            for (int i = 0; i < pieces; ++i) {
                int pick = std::uniform_int_distribution<int>(0, 5)(random);
                text += pick == 0 ? pattern
                                  : fragments[std::uniform_int_distribution<std::size_t>(
                                        0, fragments.size() - 1)(random)];
            }
            TriggerStateMachine machine(toUtf8(pattern));
            machine.validCommandNames = validNames;
            ASSERT_EQ(machine.handleTextChange(toUtf8(text), 1, true),
                      referenceEffects(text, reference))
                << "pattern '" << describe(pattern) << "' text '" << describe(text) << "'";
        }
    }
}
