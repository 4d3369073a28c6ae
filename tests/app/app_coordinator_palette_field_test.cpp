// The palette where its keys can be neither taken nor seen (a Wayland session outside the input
// group): it follows the field instead, closing once the caret or the focus leaves the trigger, is
// run with a click, and says so in a line of its own. Where keys can be taken or seen it stays as
// it was.

#include "services/config_service.hpp"
#include "trigger_fixture.hpp"

#include <gmock/gmock.h>

using namespace pennial;
using namespace pennial::testing;
using Mode = PaletteKeyInterceptor::Mode;
using namespace std::chrono_literals;

namespace {

class PaletteFollowingTheField : public TriggerFixture {
protected:
    PaletteFollowingTheField() {
        timings.transformCooldown = 0ms;
        timings.paletteFieldWatchInterval = 40ms;
        paletteKeys->setMode(Mode::unavailable);
    }

    void launchWithCommands() {
        launchWithField(SimElement::textArea("")->frame({{100, 200}, {300, 80}}));
        other = notes->add(SimElement::textField("elsewhere")->label("other"));
        auto config = AppConfig::defaults();
        config.commands = {Command::make("polish", "Polish it.", true),
                           Command::make("sig", "Best,\nAda", false)};
        await(coordinator->configService()->saveConfiguration(config));
    }
    // ";;" + query typed after "Hello " in the field, the caret after it, and the monitor's report.
    void open(const std::string& query) {
        desktop.focus(field);
        field->setText("Hello ;;" + query);
        report(query);
        ASSERT_TRUE(overlay->visible);
    }
    void report(const std::string& query) {
        await(textMonitor->sendQueryUpdate(";;" + query, query, 6, true));
    }
    void close() { await(textMonitor->sendQueryUpdate(std::nullopt, "", std::nullopt, true)); }

    // Each look at the field reads the focus first.
    std::size_t looks() const {
        return desktop.callLog()
            .calls([](const SimCall& call) {
                return call.attribute == ax::attribute::focusedUIElement;
            })
            .size();
    }
    // Reads of the caret, the part of a look that sees what was typed.
    std::size_t caretReads() const {
        return desktop.callLog()
            .calls([](const SimCall& call) {
                return call.attribute == ax::attribute::selectedTextRange;
            })
            .size();
    }
    // Types text into the field and runs until a look has read the caret since.
    void typeBeforeALook(const std::string& text) {
        const auto before = caretReads();
        field->setText(text);
        ASSERT_TRUE(runUntil([&] { return caretReads() > before; }));
    }
    bool lookedAgain(std::size_t times) {
        const auto before = looks();
        return runUntil([&] { return looks() >= before + times; });
    }

    SimElementPtr other;
};

} // namespace

TEST_F(PaletteFollowingTheField, ClosesOnceTheCaretOrTheFocusLeavesTheTrigger) {
    launchWithCommands();
    struct Case {
        const char* what;
        std::function<void()> act;
        const char* closedBy; // none: the palette stays
    };
    const Case cases[] = {
        {"nothing happens", [] {}, nullptr},
        {"the caret moves into the text",
         [&] {
             field->setSelection({2, 0});
         },
         "⌨️ [Pennial] Palette closed: the caret left the trigger"},
        {"the trigger is selected",
         [&] {
             field->setSelection({6, 3});
         },
         "⌨️ [Pennial] Palette closed: the caret left the trigger"},
        {"another field takes the focus", [&] { desktop.focus(other); },
         "⌨️ [Pennial] Palette closed: the focus left the field"},
        {"the focus goes nowhere", [&] { desktop.clearFocus(); },
         "⌨️ [Pennial] Palette closed: the focus left the field"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        close();
        open("p");
        ASSERT_TRUE(lookedAgain(1)); // the field it opened over is known
        log.clear();
        c.act();
        if (!c.closedBy) {
            ASSERT_TRUE(lookedAgain(3));
            EXPECT_TRUE(overlay->visible);
            continue;
        }
        ASSERT_TRUE(runUntil([&] { return !overlay->visible; })) << "still open";
        EXPECT_THAT(coordinatorLines(), ::testing::ElementsAre(c.closedBy));
        EXPECT_EQ(paletteKeys->activeMode(), std::nullopt);
    }
}

TEST_F(PaletteFollowingTheField, TypingAheadOfTheMonitorKeepsItOpenAndAClickRunsARow) {
    // Looks far enough apart that the monitor's report, sent right after a look, comes before the
    // next one even on a loaded machine: the caret one past is seen once, not twice.
    timings.paletteFieldWatchInterval = 250ms;
    launchWithCommands();
    open("p");
    ASSERT_TRUE(lookedAgain(1));
    // A key typed just before a look: the caret is one past the trigger the palette knows, until
    // the monitor's next report.
    typeBeforeALook("Hello ;;po");
    report("po");
    typeBeforeALook("Hello ;;pol");
    report("pol");
    ASSERT_TRUE(lookedAgain(3));
    EXPECT_TRUE(overlay->visible);
    EXPECT_EQ(overlay->palettes.back().note, "Click to run: keys stay in the field");

    overlay->click("polish");
    ASSERT_TRUE(runUntil([&] { return textMonitor->completed.size() == 1; }));
    ASSERT_EQ(transforms().size(), 1u);
    EXPECT_EQ(transforms()[0].json()["command"], "polish");
    EXPECT_EQ(transforms()[0].json()["text"], "Hello");
}

TEST_F(PaletteFollowingTheField, KeysThatCanBeTakenOrSeenLeaveThePaletteAsItWas) {
    for (auto mode : {Mode::intercepting, Mode::observing}) {
        paletteKeys->setMode(mode);
        if (!coordinator)
            launchWithCommands();
        close();
        open("p");
        EXPECT_EQ(overlay->palettes.back().note, "");
        // The arrows the application also gets move its caret: the palette stays for them.
        field->setSelection({2, 0});
        runFor(200ms);
        EXPECT_TRUE(overlay->visible);
    }
}
