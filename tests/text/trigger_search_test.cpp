// The linear trigger scanner against the regular expressions it replaces, run through ICU: the
// same matches and groups, and the same effects from the state machine, on generated and
// exhaustively enumerated texts.

#include "support/trigger_printers.hpp"
#include "text/trigger_search.hpp"
#include "text/trigger_state_machine.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace pennial;
using unicode::toUtf8;

namespace {

// The reference: the two expressions over the escaped pattern, run by the engine.
struct Reference {
    explicit Reference(std::u16string_view pattern)
        : complete(compile(pattern, R"(\s*(\w+)$)")),
          partial(compile(pattern, R"(\s*(\w*)(?=\s*$))")) {}

    static unicode::Regex compile(std::u16string_view pattern, std::string_view tail) {
        return *unicode::Regex::compile(unicode::escapeRegex(toUtf8(pattern)) + std::string(tail));
    }
    static std::vector<PatternMatch> all(const unicode::Regex& regex, std::u16string_view text) {
        std::vector<PatternMatch> found;
        for (const auto& match : regex.findAll(text))
            found.push_back({match.groups.at(0).value(), match.groups.at(1).value()});
        return found;
    }
    std::optional<PatternMatch> lastPartial(std::u16string_view text) const {
        auto found = all(partial, text);
        return found.empty() ? std::nullopt : std::optional(found.back());
    }

    unicode::Regex complete, partial;
};

const std::set<std::string> validNames = {"fix", "sig", "a", "ab", "é", "e\u0301", "𝐀", "_9"};

// What a fresh machine must report, following the expressions' matches step by step.
std::vector<Effect> referenceEffects(std::u16string_view text, const Reference& reference) {
    auto slice = [&](unicode::Utf16Range r) { return toUtf8(text.substr(r.location, r.length)); };
    std::vector<Effect> effects;
    if (auto partial = reference.lastPartial(text)) {
        auto before = toUtf8(text.substr(0, partial->whole.location));
        effects.push_back(Effect::previewUpdated(
            slice(partial->whole), slice(partial->name), (long long)partial->whole.location,
            !unicode::trimWhitespaceAndNewlines(before).empty()));
    }
    auto complete = Reference::all(reference.complete, text);
    auto valid = std::find_if(complete.rbegin(), complete.rend(),
                              [&](auto& m) { return validNames.contains(slice(m.name)); });
    if (valid != complete.rend())
        effects.push_back(Effect::triggerDetected(slice(valid->name), slice(valid->whole),
                                                  (long long)valid->whole.location));
    return effects;
}

std::string describe(std::u16string_view pattern, std::u16string_view text) {
    std::string out = "pattern '";
    for (char16_t c : pattern.empty() ? text : pattern)
        out += (c >= 0x20 && c < 0x7F) ? std::string(1, char(c)) : fmt::format("\\u{:04X}", int(c));
    return pattern.empty() ? out : out + "' text '" + describe({}, text) + "'";
}

// Counts on to the next text of the alphabet; false after the last.
bool advance(std::vector<std::size_t>& digits, std::size_t base) {
    for (auto& digit : digits) {
        if (++digit < base)
            return true;
        digit = 0;
    }
    return false;
}

void expectSameAsEngine(std::u16string_view text, std::u16string_view pattern,
                        const Reference& reference) {
    TriggerSearch search(text, pattern);
    ASSERT_EQ(search.completeTriggers(), Reference::all(reference.complete, text))
        << describe(pattern, text);
    ASSERT_EQ(search.lastPartialTrigger(), reference.lastPartial(text)) << describe(pattern, text);
}

} // namespace

TEST(TriggerSearch, AgreesWithTheEngineOnGeneratedTexts) {
    // Patterns full of metacharacters, word characters, blanks and characters outside the BMP.
    const std::vector<std::u16string> patterns = {u";;", u"//",  u"$$", u".*", u"\\",  u"\\E",
                                                  u"a",  u"ab",  u"é",  u"😀",  u"x y", u";",
                                                  u"((", u"[a]", u"^|", u" ;", u"\t",  u"?+{2}"};
    // Names, blanks, every kind of line break, marks, joiners, emoji and punctuation.
    const std::vector<std::u16string> fragments = {
        u"fix",    u"sig", u"fi",     u"a",      u"_",      u"9",      u"é",      u"e\u0301",
        u"𝐀",      u"٣",   u"\u200d", u"!",      u"-",      u".",      u"😀",      u"$",
        u" ",      u"  ",  u"\t",     u"\u00a0", u"\u3000", u"\u2003", u"\n",     u"\r",
        u"\r\n",   u"\v",  u"\f",     u"\u0085", u"\u2028", u"\u2029", u"\u001c", u"\u200b",
        u"\n\n  ", u"x",   u"ß",      u"\\",     u";",      u"/",      u"*",      u"E"};
    std::mt19937 random(20240607);
    int completeFound = 0, emptyNameBeforeLineBreak = 0;
    for (const auto& pattern : patterns) {
        const Reference reference(pattern);
        const bool blank = toUtf8(pattern).find_first_not_of(" \t") == std::string::npos;
        for (int round = 0; round < 700; ++round) {
            std::u16string text;
            for (int i = std::uniform_int_distribution<int>(0, 24)(random); i > 0; --i) {
                int pick = std::uniform_int_distribution<int>(0, 9)(random);
                text += pick == 0 ? pattern
                        : pick == 1
                            ? pattern.substr(0, std::max<std::size_t>(1, pattern.size() / 2))
                            : fragments[random() % fragments.size()];
            }
            expectSameAsEngine(text, pattern, reference);
            if (HasFatalFailure())
                return;
            if (!blank) { // the machine refuses blank patterns on purpose
                TriggerStateMachine machine(toUtf8(pattern));
                machine.validCommandNames = validNames;
                ASSERT_EQ(machine.handleTextChange(toUtf8(text), 1, true),
                          referenceEffects(text, reference))
                    << describe(pattern, text);
            }
            TriggerSearch search(text, pattern);
            completeFound += !search.completeTriggers().empty();
            auto partial = search.lastPartialTrigger();
            emptyNameBeforeLineBreak +=
                partial && partial->name.length == 0 && partial->name.location < text.size();
        }
    }
    // The corpus must reach every road of the scanner, or agreement proves little.
    EXPECT_GT(completeFound, 1500);
    EXPECT_GT(emptyNameBeforeLineBreak, 150);
}

TEST(TriggerSearch, AgreesWithTheEngineOnEveryShortText) {
    // Alphabets that mix the pattern's own characters with names, blanks and both halves of CR LF.
    struct Case {
        std::u16string pattern, alphabet;
        std::size_t maxLength;
    };
    for (const auto& [pattern, alphabet, maxLength] : std::vector<Case>{
             {u";;", u";a \r\n!", 6}, {u"a", u"ab \n\r.", 5}, {u" a", u"a ;\u2028\r", 5}}) {
        const Reference reference(pattern);
        for (std::size_t length = 0; length <= maxLength; ++length) {
            std::vector<std::size_t> digits(length, 0);
            do {
                std::u16string text;
                for (auto d : digits)
                    text += alphabet[d];
                expectSameAsEngine(text, pattern, reference);
                if (HasFatalFailure())
                    return;
            } while (advance(digits, alphabet.size()));
        }
    }
}

TEST(TriggerSearch, ClassifiesEveryCharacterAsTheEngineDoes) {
    // One candidate per code point, which after the pattern ends a name, starts a blank or
    // neither, and may itself end the line. Every BMP character; a sample of the rest.
    std::u16string words, blanks;
    for (char32_t c = 1; c < 0x20000; c += c < 0x10000 ? 1 : 3) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        auto unit = c < 0x10000 ? std::u16string(1, char16_t(c))
                                : std::u16string{char16_t(0xD7C0 + (c >> 10)),
                                                 char16_t(0xDC00 | (c & 0x3FF))};
        words += u";;" + unit + u"\n";
        blanks += u";;" + unit + u"x\n";
    }
    const Reference reference(u";;");
    expectSameAsEngine(words, u";;", reference);
    expectSameAsEngine(blanks, u";;", reference);
}
