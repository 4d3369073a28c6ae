#include "support/trigger_printers.hpp"
#include "text/trigger_state_machine.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using Effects = std::vector<Effect>;

namespace {

constexpr std::int32_t editor = 101;
constexpr std::int32_t browser = 202;

TriggerStateMachine machine(std::string pattern = ";;") {
    TriggerStateMachine m(std::move(pattern));
    m.validCommandNames = {"fix", "sig"};
    return m;
}

Effect preview(std::string fullPattern, std::string query, long long offset, bool textBefore) {
    return Effect::previewUpdated(std::move(fullPattern), std::move(query), offset, textBefore);
}

Effect fired(std::string name, std::string fullPattern, long long offset) {
    return Effect::triggerDetected(std::move(name), std::move(fullPattern), offset);
}

// The text monitor's report that a command's run ended, which releases its name.
void commandEnded(TriggerStateMachine& m, const std::string& name) {
    m.suppressedCommands.erase(name);
}

} // namespace

TEST(TriggerStateMachine, TypingATriggerKeyByKeyPreviewsThenFiresOnce) {
    auto m = machine();
    const std::vector<std::pair<std::string, Effects>> keystrokes = {
        {"Hello ", {}},
        {"Hello ;", {}},
        {"Hello ;;", {preview(";;", "", 6, true)}},
        {"Hello ;;f", {preview(";;f", "f", 6, true)}},
        {"Hello ;;fi", {preview(";;fi", "fi", 6, true)}},
        {"Hello ;;fix", {preview(";;fix", "fix", 6, true), fired("fix", ";;fix", 6)}},
    };
    for (const auto& [text, expected] : keystrokes) {
        EXPECT_EQ(m.handleTextChange(text, editor, false), expected) << text;
        EXPECT_EQ(m.handleTextChange(text, editor, false), Effects{}) << "polled again: " << text;
    }
    EXPECT_EQ(m.handleTextChange("Hello ;;fix", editor, true), Effects{})
        << "a refocused field still holding the fired trigger fires nothing";
    EXPECT_EQ(m.activeTrigger, (TriggerMatch{"fix", ";;fix", {6, 5}}));
    EXPECT_EQ(m.suppressedCommands, std::set<std::string>{"fix"});

    // The result is written back, the run is reported, and the next trigger fires again.
    EXPECT_EQ(m.handleTextChange("Hello, fixed.", editor, false), Effects{Effect::hidePreview()});
    EXPECT_EQ(m.activeTrigger, std::nullopt);
    commandEnded(m, "fix");
    EXPECT_EQ(m.handleTextChange("Hello, fixed. ;;fix", editor, false),
              (Effects{preview(";;fix", "fix", 14, true), fired("fix", ";;fix", 14)}));
}

TEST(TriggerStateMachine, AFiredNameStaysSuppressedUntilReleased) {
    auto m = machine();
    m.handleTextChange("Hello ;;fix", editor, false);

    // The name is deleted but the pattern stays: a trigger is being typed again.
    EXPECT_EQ(m.handleTextChange("Hello ;;", editor, false), Effects{preview(";;", "", 6, true)});
    EXPECT_TRUE(m.suppressedCommands.empty());
    EXPECT_EQ(m.handleTextChange("Hello ;;fix", editor, false),
              (Effects{preview(";;fix", "fix", 6, true), fired("fix", ";;fix", 6)}));

    // The whole trigger goes, then a pasted one arrives with no preview-only text in between.
    EXPECT_EQ(m.handleTextChange("Hello ", editor, false), Effects{Effect::hidePreview()});
    EXPECT_EQ(m.activeTrigger, std::nullopt);
    EXPECT_EQ(m.suppressedCommands, std::set<std::string>{"fix"});
    EXPECT_EQ(m.handleTextChange("Bye ;;fix", editor, false),
              Effects{preview(";;fix", "fix", 4, true)});
    EXPECT_EQ(m.handleTextChange("Bye ;;fix", editor, true), Effects{});

    // Another name is not held back by the suppressed one.
    EXPECT_EQ(m.handleTextChange("Bye ;;fix\n;;sig", editor, false),
              (Effects{preview(";;sig", "sig", 10, true), fired("sig", ";;sig", 10)}));

    commandEnded(m, "fix");
    EXPECT_EQ(m.handleTextChange("Bye ;;fix", editor, true),
              (Effects{preview(";;fix", "fix", 4, true), fired("fix", ";;fix", 4)}));
}

TEST(TriggerStateMachine, AFailedRunDoesNotRefireTheTriggerLeftInTheField) {
    auto m = machine();
    m.handleTextChange("Hello ;;fix", editor, false);
    commandEnded(m, "fix");
    EXPECT_EQ(m.handleTextChange("Hello ;;fix", editor, true), Effects{});
    EXPECT_EQ(m.handleTextChange("Hello ;;fix\nNext line", editor, false), Effects{})
        << "the same trigger, though no longer suppressed, is still the one that fired";
    EXPECT_EQ(m.handleTextChange("Hello ;;fi", editor, false),
              Effects{preview(";;fi", "fi", 6, true)});
    EXPECT_EQ(m.handleTextChange("Hello ;;fix", editor, false),
              (Effects{preview(";;fix", "fix", 6, true), fired("fix", ";;fix", 6)}));
}

TEST(TriggerStateMachine, TheNameMustEndItsLineExactly) {
    struct Case {
        std::string text;
        Effects expected;
    };
    const std::vector<Case> cases = {
        {"Hello ;; fix", {preview(";; fix", "fix", 6, true), fired("fix", ";; fix", 6)}},
        {"Hello ;;fix ", {preview(";;fix", "fix", 6, true)}},
        {"Hello ;;fixit", {preview(";;fixit", "fixit", 6, true)}},
        {"a ;;fix\nmore text", {preview(";;fix", "fix", 2, true), fired("fix", ";;fix", 2)}},
        {";;fix\n;;zap", {preview(";;zap", "zap", 6, true), fired("fix", ";;fix", 0)}},
        {";;fi", {preview(";;fi", "fi", 0, false)}},
        {"Dear Ann ;;", {preview(";;", "", 9, true)}},
        {"x ;;\r\nfix", {preview(";;\r\nfix", "fix", 2, true), fired("fix", ";;\r\nfix", 2)}},
        {";;;fix", {preview(";;fix", "fix", 1, true), fired("fix", ";;fix", 1)}},
    };
    for (const auto& c : cases) {
        auto m = machine();
        EXPECT_EQ(m.handleTextChange(c.text, editor, false), c.expected) << c.text;
    }
}

TEST(TriggerStateMachine, OffsetsCountUtf16UnitsOfTheWholeText) {
    auto m = machine();
    m.validCommandNames.insert("𝐀𝐁");
    EXPECT_EQ(m.handleTextChange("😀 ;;fix", editor, false),
              (Effects{preview(";;fix", "fix", 3, true), fired("fix", ";;fix", 3)}));
    EXPECT_EQ(m.handleTextChange("😀\n👩‍👩‍👧 ;;𝐀𝐁", editor, false),
              (Effects{preview(";;𝐀𝐁", "𝐀𝐁", 12, true), fired("𝐀𝐁", ";;𝐀𝐁", 12)}));
    EXPECT_EQ(m.activeTrigger->range, (unicode::Utf16Range{12, 6}));
}

TEST(TriggerStateMachine, ABlankPatternNeverFiresNorPreviews) {
    for (std::string pattern : {"", " ", " \t\n"}) {
        auto m = machine(pattern);
        EXPECT_EQ(m.handleTextChange("Hello \t\nfix", editor, false), Effects{})
            << "'" << pattern << "'";
        m.validCommandNames.clear();
        EXPECT_EQ(m.handleTextChange("Hello  fix", editor, false), Effects{})
            << "nothing to warn about: this pattern is never a trigger";
    }
}

TEST(TriggerStateMachine, AnotherApplicationStartsFreshAndHidesTheOldPalette) {
    auto m = machine();
    m.handleTextChange("Hello ;;fix", editor, false);

    // Same text, other process: the old suppression is gone, the trigger fires anew.
    EXPECT_EQ(m.handleTextChange("Hello ;;fix", browser, false),
              (Effects{preview(";;fix", "fix", 6, true), fired("fix", ";;fix", 6)}));

    // A palette is up; the new application's field shows no trigger: it hides, once.
    EXPECT_EQ(m.handleTextChange("Search", editor, false), Effects{Effect::hidePreview()});
    EXPECT_EQ(m.handleTextChange("Search", editor, true), Effects{});
    EXPECT_EQ(m.lastPreview, std::nullopt);

    m.handleTextChange("Dear Ann ;;", editor, false);
    EXPECT_EQ(m.handleTextChange("", browser, false), Effects{Effect::hidePreview()})
        << "even when the new text equals the cleared last text";
    EXPECT_EQ(m.handleTextChange("", browser, false), Effects{});

    // With a preview in the new application too, the palette just moves: one preview effect.
    m.handleTextChange("Dear Ann ;;", editor, false);
    EXPECT_EQ(m.handleTextChange("Hi ;;s", browser, false), Effects{preview(";;s", "s", 3, true)});

    // No palette was up: a change of process says nothing.
    EXPECT_EQ(m.handleTextChange("plain", editor, false), Effects{Effect::hidePreview()});
    EXPECT_EQ(m.handleTextChange("plain", browser, false), Effects{});
}

TEST(TriggerStateMachine, WithoutCommandNamesNothingFiresAndItSaysWhy) {
    TriggerStateMachine m(";;");
    const auto notReady = Effect::notReady("validCommandNames is empty — triggers will not fire");
    EXPECT_EQ(m.handleTextChange("x ;;fix", editor, false),
              (Effects{preview(";;fix", "fix", 2, true), notReady}));
    EXPECT_EQ(m.handleTextChange("x ;;fix", editor, true), Effects{notReady});
    EXPECT_EQ(m.handleTextChange("x ;; y!", editor, false),
              (Effects{Effect::hidePreview(), notReady}));
    EXPECT_EQ(m.handleTextChange("x", editor, false), Effects{});

    // The names arrive: the same text, evaluated again, fires.
    m.validCommandNames = {"fix"};
    EXPECT_EQ(m.handleTextChange("x ;;fix", editor, false),
              (Effects{preview(";;fix", "fix", 2, true), fired("fix", ";;fix", 2)}));
}
