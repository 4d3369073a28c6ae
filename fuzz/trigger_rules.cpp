// The trigger rules: the linear scanner and a fresh state machine against the two regular
// expressions they stand for, run by ICU. Input: one byte giving the pattern's length, the
// pattern, then the field's text.
#include "fuzz_support.hpp"
#include "text/trigger_search.hpp"
#include "text/trigger_state_machine.hpp"

#include <algorithm>

using namespace pennial;
using unicode::toUtf8;

namespace {

std::vector<PatternMatch> all(const unicode::Regex& regex, std::u16string_view text) {
    std::vector<PatternMatch> found;
    for (const auto& match : regex.findAll(text))
        found.push_back({match.groups.at(0).value(), match.groups.at(1).value()});
    return found;
}

const std::set<std::string> validNames = {"fix", "sig", "a", "é", "_9"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    std::size_t patternBytes = std::min<std::size_t>(data[0] % 6 + 1, size - 1);
    auto pattern = unicode::sanitizeUtf8(fuzz::text(data + 1, patternBytes));
    if (pattern.empty()) // refused when the configuration is saved
        return 0;
    auto text = unicode::sanitizeUtf8(fuzz::text(data + 1 + patternBytes, size - 1 - patternBytes));
    auto pattern16 = unicode::toUtf16(pattern);
    auto text16 = unicode::toUtf16(text);

    TriggerSearch search(text16, pattern16);
    auto complete = search.completeTriggers();
    auto partial = search.lastPartialTrigger();
    for (const auto& match : complete)
        fuzz::check(match.whole.end() <= text16.size(), "a match lies inside the text");

    TriggerStateMachine machine(pattern);
    machine.validCommandNames = validNames;
    auto effects = machine.handleTextChange(text, 42, true);
    fuzz::check(effects.size() <= 2, "at most a preview and a trigger");
    for (const auto& effect : effects)
        if (auto* detected = std::get_if<Effect::TriggerDetected>(&effect.value))
            fuzz::check(validNames.contains(detected->commandName), "only known names fire");

    // The backtracking engine is quadratic on long runs of blanks: compare on short texts only.
    if (text16.size() > 1024)
        return 0;
    auto escaped = unicode::escapeRegex(pattern);
    auto completeRegex = unicode::Regex::compile(escaped + R"(\s*(\w+)$)");
    auto partialRegex = unicode::Regex::compile(escaped + R"(\s*(\w*)(?=\s*$))");
    fuzz::check(completeRegex && partialRegex, "an escaped pattern compiles");
    fuzz::check(all(*completeRegex, text16) == complete, "complete triggers as the engine finds");
    auto partials = all(*partialRegex, text16);
    fuzz::check((partials.empty() ? std::nullopt : std::optional(partials.back())) == partial,
                "the last partial trigger as the engine finds");
    return 0;
}
