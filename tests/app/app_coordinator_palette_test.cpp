#include "services/config_service.hpp"
#include "trigger_fixture.hpp"

using namespace pennial;
using namespace pennial::testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Mode = PaletteKeyInterceptor::Mode;

namespace {

constexpr const char* interceptionLine =
    "⌨️ [Pennial] Keyboard interception active (x11-grab).";
constexpr const char* observeOnlyLine =
    "⚠️ [Pennial] Event tap creation failed; keyboard list control is observe-only.";

class CoordinatorPalette : public TriggerFixture {
protected:
    CoordinatorPalette() { timings.transformCooldown = std::chrono::milliseconds(0); }

    // Monitoring, with the field focused and four commands configured.
    void launchWithText(std::string text) {
        launchWithField(SimElement::textArea(std::move(text))->frame({{100, 200}, {300, 80}}));
        auto config = AppConfig::defaults();
        config.commands = {Command::make("polish", "Polish it.", true),
                           Command::make("apology", "Sorry <for what>", false),
                           Command::make("grammar", "Fix the grammar.", true),
                           Command::make("sig", "Best,\nAda", false)};
        await(coordinator->configService()->saveConfiguration(config));
    }

    void update(std::optional<std::string> fullPattern, std::string query,
                std::optional<long long> offset, bool hasTextBeforeTrigger) {
        await(textMonitor->sendQueryUpdate(std::move(fullPattern), std::move(query), offset,
                                           hasTextBeforeTrigger));
    }
    // The palette for ";;" + query typed after "Hello " in the field.
    void typed(const std::string& query) {
        field->setText("Hello ;;" + query);
        update(";;" + query, query, 6, true);
    }

    const FakeSpinnerOverlay::Palette& shown() const { return overlay->palettes.back(); }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& row : shown().suggestions)
            result.push_back(row.name);
        return result;
    }
    int selected() const { return shown().selectedIndex; }

    // Presses a palette key and waits for the palette to be shown again.
    void move(PaletteKey key) {
        const auto count = overlay->palettes.size();
        EXPECT_TRUE(paletteKeys->press(key)) << "swallowed";
        EXPECT_TRUE(runUntil([&] { return overlay->palettes.size() > count; }));
    }
    // Presses a palette key and gives it time to act.
    void press(PaletteKey key) {
        paletteKeys->press(key);
        runFor(std::chrono::milliseconds(20));
    }
};

} // namespace

TEST_F(CoordinatorPalette, AnUpdateShowsTheMatchingCommandsAndTakesTheKeys) {
    launchWithText("Hello ;;  POL ");
    update(";;  POL ", "  POL ", 6, true);

    ASSERT_EQ(overlay->palettes.size(), 1u);
    EXPECT_EQ(shown().query, "pol");
    EXPECT_THAT(shown().suggestions, ElementsAre(TemplateSuggestion{"polish", "Polish", false},
                                                 TemplateSuggestion{"apology", "Apology", false}));
    EXPECT_EQ(shown().screen, desktop.screens()->mainScreen());
    EXPECT_TRUE(shown().caret.has_value());
    EXPECT_EQ(paletteKeys->activeMode(), Mode::intercepting);
    EXPECT_THAT(coordinatorLines(), ElementsAre(interceptionLine));

    // Without text before the trigger the inserts lead and the rewrites cannot be chosen; later
    // updates only replace the callback of the interception already running.
    update(";;", "", 0, false);
    EXPECT_THAT(shown().suggestions, ElementsAre(TemplateSuggestion{"apology", "Apology", false},
                                                 TemplateSuggestion{"sig", "Sig", false},
                                                 TemplateSuggestion{"polish", "Polish", true},
                                                 TemplateSuggestion{"grammar", "Grammar", true}));
    EXPECT_THAT(paletteKeys->calls(), ElementsAre("start"));
    EXPECT_THAT(coordinatorLines(), ElementsAre(interceptionLine));

    // Nothing matches: the palette stays, empty; the keys it has no use for are the
    // application's (a Return typed after a word is a line break), Escape still closes it.
    typed("zzz");
    EXPECT_TRUE(overlay->visible);
    EXPECT_THAT(shown().suggestions, IsEmpty());
    EXPECT_EQ(paletteKeys->activeMode(), Mode::intercepting);
    for (auto key : {PaletteKey::returnKey, PaletteKey::keypadEnter, PaletteKey::tab,
                     PaletteKey::up, PaletteKey::down})
        EXPECT_FALSE(paletteKeys->press(key)) << static_cast<int>(key);
    runFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(overlay->visible);

    // Without a focused element the palette places itself.
    desktop.clearFocus();
    typed("s");
    EXPECT_FALSE(shown().caret.has_value());
    EXPECT_THAT(names(), ElementsAre("polish", "sig"));
}

TEST_F(CoordinatorPalette, UpAndDownWalkTheEnabledRowsAndUpdatesCarryTheIndex) {
    launchWithText("");
    typed("");
    move(PaletteKey::up);
    EXPECT_EQ(selected(), 3) << "round from the first row to the last";
    typed("o"); // polish, apology: the index, not the row, carries over
    EXPECT_EQ(selected(), 1);

    // No text before the trigger: [apology, sig, polish (disabled), grammar (disabled)].
    field->setText(";;");
    update(";;", "", 0, false);
    EXPECT_EQ(selected(), 1);
    move(PaletteKey::down);
    EXPECT_EQ(selected(), 0) << "round, past the disabled rows";
    move(PaletteKey::up);
    EXPECT_EQ(selected(), 1);
    field->setText(";;i");
    update(";;i", "i", 0, false); // sig, polish (disabled)
    EXPECT_EQ(selected(), 0) << "off the disabled row onto the first enabled one";
}

TEST_F(CoordinatorPalette, ReturnRunsTheSelectedCommandAndADisabledRowRunsNothing) {
    launchWithText(";;ish");
    update(";;ish", "ish", 0, false); // polish alone, disabled: nothing to rewrite
    EXPECT_TRUE(paletteKeys->press(PaletteKey::returnKey)) << "taken all the same";
    runFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(transforms().empty());
    EXPECT_EQ(field->text(), ";;ish");

    field->setText("Hello ;;ol");
    update(";;ol", "ol", 6, true); // polish, apology
    move(PaletteKey::down);
    paletteKeys->press(PaletteKey::keypadEnter);
    ASSERT_TRUE(runUntil([&] { return textMonitor->completed.size() == 1; }));
    EXPECT_EQ(field->text(), "Hello\nSorry (filled)");
    ASSERT_EQ(transforms().size(), 1u);
    EXPECT_EQ(transforms()[0].json()["command"], "apology");
    // The trigger ended the palette: the keys are given back and the overlay is down.
    EXPECT_EQ(paletteKeys->activeMode(), std::nullopt);
    EXPECT_FALSE(overlay->visible);
}

TEST_F(CoordinatorPalette, TabWritesTheFullNameOverWhatWasTyped) {
    launchWithText("Dear Ann ;;po");
    update(";;po", "po", 9, true);
    paletteKeys->press(PaletteKey::tab);
    ASSERT_TRUE(runUntil([&] { return field->text() == "Dear Ann ;;polish"; })) << field->text();
    EXPECT_TRUE(transforms().empty()) << "the monitor runs it once it reads the full name";
    EXPECT_TRUE(overlay->visible) << "the palette state is left to the next update";

    desktop.clearFocus();
    log.clear();
    press(PaletteKey::tab);
    EXPECT_THAT(coordinatorLines(),
                ElementsAre("⚠️ [Pennial] Tab completion failed: noFocusedElement"));
}

TEST_F(CoordinatorPalette, EscapeAnEndedTriggerOrTheOwnWindowCloseThePalette) {
    launchWithText("Hello ;;po");
    update(";;po", "po", 6, true);
    paletteKeys->press(PaletteKey::escape);
    ASSERT_TRUE(runUntil([&] { return !overlay->visible; }));
    EXPECT_EQ(paletteKeys->activeMode(), std::nullopt);

    update(";;po", "po", 6, true);
    EXPECT_TRUE(overlay->visible);
    update(std::nullopt, "", std::nullopt, true);
    EXPECT_FALSE(overlay->visible);
    EXPECT_EQ(paletteKeys->activeMode(), std::nullopt);

    // This application's settings window in front: no palette for what is typed there.
    desktop.setOwnWindows({{"settings", true}});
    desktop.activate(desktop.ownProcess().processIdentifier);
    const auto before = overlay->palettes.size();
    update(";;po", "po", 6, true);
    EXPECT_EQ(overlay->palettes.size(), before);
    EXPECT_FALSE(overlay->visible);
    EXPECT_EQ(paletteKeys->activeMode(), std::nullopt);
}

TEST_F(CoordinatorPalette, AnotherApplicationActivatedClosesAnOpenPaletteOnly) {
    launchWithText("Hello ;;po");
    desktop.addApplication({777, "org.example.mail", "Mail"});
    desktop.activate(777);
    runFor(std::chrono::milliseconds(20));
    EXPECT_EQ(overlay->hideCount, 0) << "nothing to close";

    desktop.activate(notesPid);
    update(";;po", "po", 6, true);
    desktop.activate(777);
    ASSERT_TRUE(runUntil([&] { return !overlay->visible; }));
    EXPECT_EQ(paletteKeys->activeMode(), std::nullopt);
}

TEST_F(CoordinatorPalette, UpdatesWhileACommandRunsChangeNothing) {
    launchWithText("Hello ;;po");
    update(";;po", "po", 6, true);
    backend.setDelay(Endpoint::transform, std::chrono::milliseconds(300));
    bool done = false;
    startTrigger("polish", ";;po", 6, done);
    ASSERT_TRUE(runUntil([&] { return transforms().size() == 1; }));
    const auto calls = overlay->calls;
    update(";;pol", "pol", 6, true);
    update(std::nullopt, "", std::nullopt, true);
    EXPECT_EQ(overlay->calls, calls);
    EXPECT_EQ(paletteKeys->activeMode(), std::nullopt) << "stopped when the trigger started";
    ASSERT_TRUE(runUntil([&] { return done; }));
    EXPECT_EQ(field->text(), "[polish] Hello");
}

TEST_F(CoordinatorPalette, AKeyTypedAfterADetectedTriggerIsTheApplications) {
    launchWithText("Hello ;;polish");
    update(";;polish", "polish", 6, true);
    ASSERT_TRUE(overlay->visible);
    // The monitor's thread hands the trigger over; main has not taken it up yet.
    asio::io_context monitorThread;
    bool done = false;
    asio::co_spawn(monitorThread, textMonitor->sendTrigger("polish", ";;polish", 6),
                   [&done](std::exception_ptr) { done = true; });
    monitorThread.poll();
    EXPECT_FALSE(paletteKeys->press(PaletteKey::returnKey)) << "a line break typed after it";
    ASSERT_TRUE(runUntil([&] {
        monitorThread.poll();
        return done;
    }));
    EXPECT_EQ(textMonitor->completed.size(), 1u) << "the trigger ran, once";
}

TEST_F(CoordinatorPalette, AClickedRowRunsWithThePatternItWasShownFor) {
    launchWithText("Hello ;;gr");
    update(";;gr", "gr", 6, true);
    auto click = overlay->onSelect;
    ASSERT_TRUE(click);
    // The trigger ends before the click; the row still knows what was typed, not where.
    update(std::nullopt, "", std::nullopt, true);
    click("grammar");
    ASSERT_TRUE(runUntil([&] { return textMonitor->completed.size() == 1; }));
    EXPECT_EQ(field->text(), "[grammar] Hello");
}

TEST_F(CoordinatorPalette, KeysThatComeFasterThanTheCaretLeaveNoPaletteBehind) {
    launchWithText("Hello ;;");
    update(";;", "", 6, true);
    // Down asks for the caret before it shows the new selection; Escape closes the palette
    // before that answer is back.
    paletteKeys->press(PaletteKey::down);
    paletteKeys->press(PaletteKey::escape);
    runFor(std::chrono::milliseconds(50));
    EXPECT_EQ(overlay->calls.back(), "hide");
    EXPECT_FALSE(overlay->visible);
}

TEST_F(CoordinatorPalette, AnUpdateOvertakenByReturnNeitherShowsNorTakesTheKeysAgain) {
    launchWithText("Hello ;;po");
    update(";;po", "po", 6, true);
    backend.setDelay(Endpoint::transform, std::chrono::milliseconds(200));
    // Return is handled while the monitor's next update is still on its way.
    paletteKeys->press(PaletteKey::returnKey);
    bool updated = false;
    asio::co_spawn(main, textMonitor->sendQueryUpdate(";;po", "po", 6, true),
                   [&](std::exception_ptr) { updated = true; });
    ASSERT_TRUE(runUntil([&] { return updated && textMonitor->completed.size() == 1; }));
    EXPECT_EQ(field->text(), "[polish] Hello");
    EXPECT_EQ(paletteKeys->activeMode(), std::nullopt) << "no key taken after the command ran";
    const auto processing = std::find(overlay->calls.begin(), overlay->calls.end(), "processing");
    ASSERT_NE(processing, overlay->calls.end());
    EXPECT_EQ(std::count(processing, overlay->calls.end(), "palette"), 0)
        << "no palette over the processing card";
}

TEST_F(CoordinatorPalette, KeysThatCannotBeTakenAreOnlyWatched) {
    paletteKeys->setMode(Mode::observing);
    launchWithText("Hello ;;");
    update(";;", "", 6, true);
    EXPECT_THAT(coordinatorLines(), ElementsAre(observeOnlyLine));
    EXPECT_FALSE(paletteKeys->press(PaletteKey::down)) << "the application gets it too";
    ASSERT_TRUE(runUntil([&] { return selected() == 1; }));
    EXPECT_THAT(log.matching("Intercepting"), IsEmpty());

    // Given back and asked again: now the platform can take them, and the first one taken says so.
    paletteKeys->setMode(Mode::intercepting);
    update(std::nullopt, "", std::nullopt, true);
    log.clear();
    update(";;", "", 6, true);
    move(PaletteKey::down);
    move(PaletteKey::down);
    EXPECT_THAT(
        coordinatorLines(),
        ElementsAre(interceptionLine, "⌨️ [Pennial] Intercepting list navigation keys."));

    // Neither taken nor watched: the palette answers the mouse alone.
    paletteKeys->setMode(Mode::unavailable);
    update(std::nullopt, "", std::nullopt, true);
    log.clear();
    update(";;", "", 6, true);
    EXPECT_THAT(coordinatorLines(), ElementsAre(observeOnlyLine));
    EXPECT_TRUE(overlay->visible);
    EXPECT_FALSE(paletteKeys->press(PaletteKey::down));
}

class CoordinatorPaletteWithoutKeys : public CoordinatorPalette {
protected:
    // A platform that offers no way to take keys at all.
    CoordinatorPaletteWithoutKeys() { paletteKeys.reset(); }
};

TEST_F(CoordinatorPaletteWithoutKeys, LogsTheFallbackAndShowsThePalette) {
    launchWithText("Hello ;;");
    update(";;", "", 6, true);
    EXPECT_THAT(coordinatorLines(), ElementsAre(observeOnlyLine));
    EXPECT_TRUE(overlay->visible);
    update(std::nullopt, "", std::nullopt, true);
    EXPECT_FALSE(overlay->visible);
}
