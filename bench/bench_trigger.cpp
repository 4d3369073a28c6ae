// Cost of one evaluation of a field's text by the trigger state machine, on long ordinary texts and
// on texts built to make a backtracking search slow, and of trimming e-mail footers.
// Budgets: a changed 30,000-character text ending in a trigger, median <= 1 ms; the adversarial
// texts, median <= 5 ms; trimEmailFooter on 30,000 characters, median <= 1 ms.

#include "text/text_processing.hpp"
#include "text/trigger_state_machine.hpp"

#include <benchmark/benchmark.h>

namespace {

using pennial::TriggerStateMachine;

constexpr std::size_t fieldLength = 30'000;

// Prose in lines of varying length, cut to `length` characters.
std::string prose(std::size_t length) {
    static constexpr std::string_view words[] = {
        "the",  "quarterly", "report", "shows", "steady", "growth,",  "and",    "we",
        "will", "review",    "it",     "on",    "Friday", "morning.", "Thanks", "for",
        "your", "patience;", "more",   "soon",  "—",      "Ann"};
    std::string text;
    std::size_t i = 0;
    while (text.size() < length) {
        text += words[i % std::size(words)];
        text += (i % 13 == 12) ? "\n" : " ";
        ++i;
    }
    text.resize(length);
    return text;
}

TriggerStateMachine machine() {
    TriggerStateMachine m(";;");
    m.validCommandNames = {"fix",       "sig",    "reply",   "summarize",
                           "translate", "formal", "shorter", "bullets"};
    return m;
}

// Alternates between two texts that differ in their first character, so every call evaluates.
void evaluateChanged(benchmark::State& state, std::string text) {
    auto m = machine();
    std::string other = text;
    other[0] = other[0] == 'x' ? 'y' : 'x';
    bool flip = false;
    for (auto _ : state) {
        auto effects = m.handleTextChange(flip ? other : text, 1, false);
        benchmark::DoNotOptimize(effects);
        flip = !flip;
    }
}

void LongFieldEndingInATrigger(benchmark::State& state) {
    evaluateChanged(state, prose(fieldLength - 6) + " ;;fix");
}

void LongFieldWithManyPatterns(benchmark::State& state) {
    // Code, say, where the pattern is common and no line ends in a name.
    std::string text;
    while (text.size() < fieldLength - 6)
        text += "for (;;) { step(); }\n";
    evaluateChanged(state, text.substr(0, fieldLength - 6) + " ;;fix");
}

void PatternThenBlanks(benchmark::State& state) {
    evaluateChanged(state, "x;;" + std::string(fieldLength, ' '));
}

// The preview expression run by a backtracking engine takes about 10 s on this one: every blank
// given back re-runs the look-ahead to the "!".
void PatternThenBlanksThenPunctuation(benchmark::State& state) {
    evaluateChanged(state, "x;;" + std::string(fieldLength, ' ') + "!");
}

void PatternThenMixedBlanksAndLineBreaks(benchmark::State& state) {
    std::string blanks;
    while (blanks.size() < fieldLength)
        blanks += " \t \r\n  ";
    evaluateChanged(state, "x;;" + blanks);
}

void BlanksThenPartialTrigger(benchmark::State& state) {
    evaluateChanged(state, "x" + std::string(fieldLength, ' ') + ";;fi");
}

void PatternsEachFollowedByBlanks(benchmark::State& state) {
    std::string text = "x";
    while (text.size() < fieldLength)
        text += ";;" + std::string(40, ' ') + "!";
    evaluateChanged(state, text);
}

void WordPatternInsideOneLongWord(benchmark::State& state) {
    // Every position starts a candidate whose name runs to the end of the word: about 12 s for
    // the complete-trigger expression in a backtracking engine.
    auto m = machine();
    m.triggerPattern = "a";
    std::string text(fieldLength, 'a');
    text += "!";
    std::string other = text;
    other[0] = 'b';
    bool flip = false;
    for (auto _ : state) {
        auto effects = m.handleTextChange(flip ? other : text, 1, false);
        benchmark::DoNotOptimize(effects);
        flip = !flip;
    }
}

void TrimEmailFooterWithoutMarkers(benchmark::State& state) {
    auto text = prose(fieldLength);
    for (auto _ : state)
        benchmark::DoNotOptimize(pennial::TextProcessing::trimEmailFooter(text));
}

void TrimEmailFooterWithAFooter(benchmark::State& state) {
    auto text = prose(fieldLength - 200) + "\n\nBest,\nAnn\nSent from my iPhone\nDisclaimer: none";
    for (auto _ : state)
        benchmark::DoNotOptimize(pennial::TextProcessing::trimEmailFooter(text));
}

void configure(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK(LongFieldEndingInATrigger)->Apply(configure);
BENCHMARK(LongFieldWithManyPatterns)->Apply(configure);
BENCHMARK(PatternThenBlanks)->Apply(configure);
BENCHMARK(PatternThenBlanksThenPunctuation)->Apply(configure);
BENCHMARK(PatternThenMixedBlanksAndLineBreaks)->Apply(configure);
BENCHMARK(BlanksThenPartialTrigger)->Apply(configure);
BENCHMARK(PatternsEachFollowedByBlanks)->Apply(configure);
BENCHMARK(WordPatternInsideOneLongWord)->Apply(configure);
BENCHMARK(TrimEmailFooterWithoutMarkers)->Apply(configure);
BENCHMARK(TrimEmailFooterWithAFooter)->Apply(configure);

BENCHMARK_MAIN();
