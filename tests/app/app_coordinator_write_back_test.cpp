#include "services/config_service.hpp"
#include "trigger_fixture.hpp"

using namespace pennial;
using namespace pennial::testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Clock = std::chrono::steady_clock;

// What the user had copied: two items, several types each.
const ClipboardSnapshot usersCopy = {
    ClipboardItem{{{"text/uri-list", "file:///a.png"}, {"image/png", std::string("\x89PNG\0", 5)}}},
    ClipboardItem{{{"text/plain", "b.txt"}, {"text/uri-list", "file:///b.txt"}}},
};

class CoordinatorWriteBack : public TriggerFixture {
protected:
    void launchWithText(const std::string& text) {
        launchWithField(SimElement::textArea(text));
        clipboard->copy(usersCopy);
    }
    std::vector<std::string> fallbackLines() const {
        std::vector<std::string> lines;
        for (const auto& line : coordinatorLines())
            if (line.find("failed (") != std::string::npos ||
                line.find(" via ") != std::string::npos ||
                line.find("Clipboard") != std::string::npos)
                lines.push_back(line);
        return lines;
    }

    void expectKeyboardPasteUnavailable() {
        field->refuseRangeReplacement()->refuseValueWrites();
        trigger("fix", ";;fix", 5);
        EXPECT_EQ(field->text(), "helo ;;fix");
        EXPECT_TRUE(desktop.keyboardSynthesizer()->posted().empty());
        EXPECT_EQ(clipboard->changeCount(), 1) << "the clipboard was never touched";
        EXPECT_EQ(coordinator->lastError(), "Transformation failed: unavailable");
    }

    std::shared_ptr<SimClipboard> clipboard = desktop.clipboard();
};

} // namespace

TEST_F(CoordinatorWriteBack, EachRefusedMethodHandsOverToTheNext) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    launchWithText("helo ;;fix");
    auto writeAgain = [&] {
        field->setText("helo ;;fix");
        log.clear();
        trigger("fix", ";;fix", 5);
        EXPECT_EQ(field->text(), "[fix] helo");
        return fallbackLines().back();
    };
    field->refuseRangeReplacement();
    EXPECT_EQ(writeAgain(), "✅ [Pennial] Text set via full replacement");
    field->refuseValueWrites();
    EXPECT_EQ(writeAgain(), "✅ [Pennial] Text replaced via targeted keyboard paste");
    field->refuseSelectionWrites();
    EXPECT_EQ(writeAgain(), "✅ [Pennial] Clipboard restored after keyboard paste");
    EXPECT_THAT(
        fallbackLines(),
        ElementsAre("⚠️ [Pennial] Range replacement failed (cannotWriteValue), trying full "
                    "text replacement",
                    "⚠️ [Pennial] Full text replacement failed (cannotWriteValue), trying "
                    "targeted keyboard paste",
                    "⚠️ [Pennial] Targeted paste failed (cannotWriteValue), falling back "
                    "to full keyboard paste",
                    "✅ [Pennial] Clipboard restored after keyboard paste"));
    EXPECT_THAT(desktop.keyboardSynthesizer()->posted(),
                ElementsAre(Shortcut::paste, Shortcut::selectAll, Shortcut::paste));
    EXPECT_EQ(clipboard->contents(), usersCopy);
    EXPECT_THAT(textMonitor->completed, ElementsAre("fix", "fix", "fix"));
}

// Keys the user types while a selection of ours waits for its paste are held until the paste has
// been judged: they follow the pasted text, in their order, and the write counts.
TEST_F(CoordinatorWriteBack, KeysTypedWhileThePastesSelectionStandsFollowThePastedText) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    launchWithText("helo ;;fix");
    field->refuseRangeReplacement()->refuseValueWrites();
    for (const bool selectingAll : {false, true}) {
        SCOPED_TRACE(selectingAll ? "select-all paste" : "targeted paste");
        if (selectingAll)
            field->refuseSelectionWrites();
        field->setText("helo ;;fix");
        bool typed = false;
        desktop.keyboardSynthesizer()->setBeforeKey([&](Shortcut shortcut) {
            if (shortcut == Shortcut::paste && !std::exchange(typed, true))
                desktop.keyboard().type("Zed\n");
        });
        trigger("fix", ";;fix", 5);
        EXPECT_TRUE(typed);
        EXPECT_EQ(field->text(), "[fix] heloZed\n");
        EXPECT_TRUE(coordinator->statusMessage().starts_with("✓")) << coordinator->statusMessage();
        EXPECT_EQ(clipboard->contents(), usersCopy);
    }
}

TEST_F(CoordinatorWriteBack, TheClipboardComesBackAfterThePasteButNotOverANewCopy) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    launchWithText("helo ;;fix");
    field->refuseRangeReplacement()->refuseValueWrites();
    bool done = false;
    startTrigger("fix", ";;fix", 5, done);
    ASSERT_TRUE(runUntil([&] { return field->text() == "[fix] helo"; }));
    const auto pastedAt = Clock::now();
    EXPECT_EQ(clipboard->text(), "[fix] helo") << "lent to the paste";
    ASSERT_TRUE(runUntil([&] { return clipboard->contents() == usersCopy; }));
    EXPECT_GE(Clock::now() - pastedAt, timings.clipboardRestoreDelay * 9 / 10);
    ASSERT_TRUE(runUntil([&] { return done; }));

    // An empty clipboard is left empty.
    clipboard->clear();
    field->setText("helo ;;fix");
    log.clear();
    trigger("fix", ";;fix", 5);
    EXPECT_TRUE(clipboard->contents().empty());
    EXPECT_THAT(log.matching("Clipboard restored"), IsEmpty());

    // Something copied while the paste's text was out is the user's latest: it stays.
    field->setText("helo ;;fix");
    done = false;
    startTrigger("fix", ";;fix", 5, done);
    ASSERT_TRUE(runUntil([&] { return field->text() == "[fix] helo"; }));
    clipboard->copyText("copied meanwhile");
    ASSERT_TRUE(runUntil([&] { return done; }));
    EXPECT_EQ(clipboard->text(), "copied meanwhile");
    EXPECT_TRUE(log.contains("⚠️ [Pennial] Clipboard changed during the paste - not restored"));
}

TEST_F(CoordinatorWriteBack, KeysAreNeverSentToAFieldOtherThanTheTriggers) {
    launchWithText("helo ;;fix");
    field->refuseRangeReplacement()->refuseValueWrites();
    auto chat = desktop.addApplication({502, "org.example.chat", "Chat"})->addWindow("Chat");
    auto other = chat->add(SimElement::textField("draft to Bob"));
    backend.setDelay(Endpoint::transform, std::chrono::milliseconds(200));
    bool done = false;
    startTrigger("fix", ";;fix", 5, done);
    ASSERT_TRUE(runUntil([&] { return transforms().size() == 1; }));
    desktop.focus(other); // the user moves on while the call runs
    ASSERT_TRUE(runUntil([&] { return done; }));

    EXPECT_EQ(other->text(), "draft to Bob");
    EXPECT_EQ(field->text(), "helo ;;fix");
    EXPECT_TRUE(desktop.keyboardSynthesizer()->posted().empty());
    EXPECT_EQ(clipboard->changeCount(), 1) << "the clipboard was never touched";
    EXPECT_TRUE(log.contains("⚠️ [Pennial] Targeted paste failed (focusMoved), falling back to "
                             "full keyboard paste"));
    EXPECT_EQ(coordinator->lastError(), "Transformation failed: focusMoved");
}

TEST_F(CoordinatorWriteBack, APasteThatDoesNotArriveIsAFailureNotASuccess) {
    launchWithText("helo ;;fix");
    field->refuseRangeReplacement()->refuseValueWrites()->refusePaste();
    trigger("fix", ";;fix", 5);
    EXPECT_EQ(field->text(), "helo ;;fix");
    EXPECT_THAT(desktop.keyboardSynthesizer()->posted(),
                ElementsAre(Shortcut::paste, Shortcut::selectAll, Shortcut::paste));
    EXPECT_EQ(coordinator->statusMessage(), "Error occurred");
    EXPECT_EQ(coordinator->lastError(), "Transformation failed: cannotWriteValue");
    EXPECT_THAT(textMonitor->failed, ElementsAre("fix"));
    EXPECT_EQ(crashes->errors().size(), 1u);
    EXPECT_EQ(clipboard->contents(), usersCopy);
    // No selection made for the pastes is left for the user's next key to replace.
    desktop.keyboard().type("Z");
    EXPECT_EQ(field->text(), "helo ;;fixZ");
}

TEST_F(CoordinatorWriteBack, AClipboardWeMayNotOwnIsNeverPastedIntoTheField) {
    launchWithText("helo ;;fix");
    field->refuseRangeReplacement()->refuseValueWrites();
    clipboard->refuseOurWrites();
    trigger("fix", ";;fix", 5);
    // The user's copy stayed on the clipboard: Control+V would have pasted it.
    EXPECT_EQ(field->text(), "helo ;;fix");
    EXPECT_THAT(desktop.keyboardSynthesizer()->posted(), ElementsAre(Shortcut::selectAll));
    EXPECT_EQ(coordinator->lastError(), "Transformation failed: unavailable");
    EXPECT_EQ(clipboard->contents(), usersCopy);
}

TEST_F(CoordinatorWriteBack, AWholeValueInsertKeepsTheWordsAfterTheTrigger) {
    launchWithText("abc ;;addr more\nnext");
    auto config = AppConfig::defaults();
    config.commands.push_back(Command::make("addr", "221B Baker Street", false));
    await(coordinator->configService()->saveConfiguration(config));
    field->refuseRangeReplacement();
    trigger("addr", ";;addr", 4);
    EXPECT_EQ(field->text(), "abc\n221B Baker Street more\nnext");
    EXPECT_EQ(coordinator->statusMessage(), "✓ Inserted addr");
}

TEST_F(CoordinatorWriteBack, AHalfAppliedRangeReplacementIsUndoneBeforeTheNextMethod) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    launchWithText("helo ;;fix and more");
    field->loseInsertions(1); // the removal lands, the insertion times out
    trigger("fix", ";;fix", 5);
    EXPECT_EQ(field->text(), "[fix] helo and more");
    EXPECT_TRUE(
        log.contains("⚠️ [AXAccessibilityProvider] Range replacement was half applied - "
                     "the removed text is back"));
    EXPECT_EQ(fallbackLines().back(), "✅ [Pennial] Text set via full replacement");

    // Neither the insertion nor the whole value goes back: the field keeps what is left, the
    // result waits on the clipboard, and nothing more is tried.
    field->setText("helo ;;fix and more");
    field->loseInsertions(5)->refuseValueWrites();
    log.clear();
    trigger("fix", ";;fix", 5);
    EXPECT_EQ(field->text(), " and more");
    EXPECT_EQ(clipboard->text(), "[fix] helo");
    EXPECT_TRUE(desktop.keyboardSynthesizer()->posted().empty());
    EXPECT_EQ(coordinator->statusMessage(), "Error occurred - the result is on the clipboard");
    EXPECT_EQ(coordinator->lastError(), "Transformation failed: fieldNotRestored");
    EXPECT_EQ(crashes->errors().size(), 1u);
}

TEST_F(CoordinatorWriteBack, AResultTheFieldCutsShortFailsAndTheUsersTextComesBack) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    launchWithText("abc ;;addr\nnext");
    field->maxLength(24); // two units short of the result
    auto config = AppConfig::defaults();
    config.commands.push_back(Command::make("addr", "221B Baker Street", false));
    await(coordinator->configService()->saveConfiguration(config));
    // Each method in turn, the field refusing the ones before it.
    const std::function<void()> refusals[] = {
        [] {},
        [&] { field->refuseRangeReplacement(); },
        [&] { field->refuseValueWrites(); },
        [&] { field->refuseSelectionWrites(); },
    };
    for (const auto& refuse : refusals) {
        refuse();
        field->setText("abc ;;addr\nnext");
        clipboard->copy(usersCopy);
        trigger("addr", ";;addr", 4);
        EXPECT_EQ(field->text(), "abc ;;addr\nnext");
        EXPECT_EQ(clipboard->text(), "221B Baker Street");
        EXPECT_EQ(coordinator->statusMessage(),
                  "The field cut the result short - it is on the clipboard");
        EXPECT_EQ(coordinator->lastError(), "Transformation failed: fieldCutShort");
    }
    EXPECT_THAT(textMonitor->failed, ElementsAre("addr", "addr", "addr", "addr"));
    EXPECT_TRUE(crashes->errors().empty());
}

TEST_F(CoordinatorWriteBack, AFieldThatNormalisesWhatIsWrittenHasTakenIt) {
    // A one-line field drops the line break the snippet is composed with.
    launchWithField(SimElement::textField("abc ;;addr"))->normaliseWrites([](std::string text) {
        std::erase(text, '\n');
        return text;
    });
    auto config = AppConfig::defaults();
    config.commands.push_back(Command::make("addr", "221B Baker Street", false));
    await(coordinator->configService()->saveConfiguration(config));
    trigger("addr", ";;addr", 4);
    EXPECT_EQ(field->text(), "abc221B Baker Street");
    EXPECT_EQ(coordinator->statusMessage(), "✓ Inserted addr");
    for (const auto& write : writesTo(field))
        EXPECT_NE(write.attribute, "AXValue") << "no method after the range replacement";
    EXPECT_TRUE(crashes->errors().empty());
}

TEST_F(CoordinatorWriteBack, ATargetedPasteGoesOverItsRangeOnlyAndOnlyWhereItWasPrepared) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    launchWithText("helo ;;fix\nnext");
    field->refuseRangeReplacement()->refuseValueWrites();
    trigger("fix", ";;fix", 5);
    EXPECT_EQ(field->text(), "[fix] helo\nnext") << "the range's replacement was pasted";

    auto other = desktop.addApplication({502, "org.example.chat", "Chat"})
                     ->addWindow("Chat")
                     ->add(SimElement::textField("draft to Bob"));
    auto keys = desktop.keyboardSynthesizer();
    // Acts while the paste's text is on the clipboard and Control+V not yet sent.
    auto duringThePastesWait = [&](const std::function<void()>& act) {
        field->setText("helo ;;fix\nnext");
        desktop.focus(field);
        const auto keysBefore = keys->posted().size();
        bool done = false, acted = false;
        startTrigger("fix", ";;fix", 5, done);
        EXPECT_TRUE(runUntil([&] {
            if (!acted && clipboard->text() == "[fix] helo") {
                act();
                acted = true;
            }
            return done;
        }));
        EXPECT_TRUE(acted);
        EXPECT_EQ(keys->posted().size(), keysBefore) << "no key sent";
        EXPECT_EQ(clipboard->contents(), usersCopy);
    };
    duringThePastesWait([&] { desktop.focus(other); });
    EXPECT_EQ(other->text(), "draft to Bob");
    EXPECT_EQ(field->text(), "helo ;;fix\nnext");

    duringThePastesWait([&] {
        field->setSelection({15, 0}); // a click at the end, then a key
        field->insertText("!");
    });
    EXPECT_EQ(field->text(), "helo ;;fix\nnext!");
    EXPECT_EQ(coordinator->statusMessage(), "Cancelled - text changed");
}

// The user's key replaces the paste's selection: the repair pastes the user's text back, and an
// application may fetch the clipboard well after that key, so the user's copy comes back only the
// loan's whole time after the repair's paste (else a late fetch pastes the user's copy over the
// field).
TEST_F(CoordinatorWriteBack, ARepairsPasteHasTheClipboardForTheLoansWholeTime) {
    using Clock = std::chrono::steady_clock;
    timings.transformCooldown = std::chrono::milliseconds(0);
    timings.clipboardRestoreDelay = std::chrono::milliseconds(400);
    launchWithText("helo ;;fix");
    field->refuseRangeReplacement()->refuseValueWrites();
    int pastes = 0;
    Clock::time_point repairPaste;
    desktop.keyboardSynthesizer()->setBeforeKey([&](Shortcut shortcut) {
        if (shortcut != Shortcut::paste)
            return;
        if (++pastes == 1)
            field->insertText("Z");
        else
            repairPaste = Clock::now();
    });
    bool done = false;
    std::optional<Clock::time_point> restoredAt;
    startTrigger("fix", ";;fix", 5, done);
    EXPECT_TRUE(runUntil([&] {
        if (!restoredAt && pastes == 2 && clipboard->contents() == usersCopy)
            restoredAt = Clock::now();
        return done;
    }));
    ASSERT_EQ(pastes, 2) << "the repair pasted";
    EXPECT_EQ(field->text(), "helo ;;fixZ");
    ASSERT_TRUE(restoredAt);
    EXPECT_GE(*restoredAt - repairPaste, std::chrono::milliseconds(390));
}

TEST_F(CoordinatorWriteBack, ATargetedPasteSelectsAndPastesOnlyWhatTheResultChanges) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    // {field, trigger offset, the selection pasted over, the text pasted, the field after}. The
    // fake backend answers a rewrite with "[fix] " and the text.
    struct Case {
        std::string text;
        long long offset;
        AXRange selected;
        std::string pasted, after;
    };
    const Case cases[] = {
        {"[fix] helo ;;fix\nnext", 11, {6, 10}, "[fix] helo", "[fix] [fix] helo\nnext"},
        {"helo ;;fix\nnext", 5, {0, 10}, "[fix] helo", "[fix] helo\nnext"},
        {"[fix] 😀 ;;fix", 9, {6, 8}, "[fix] 😀", "[fix] [fix] 😀"},
    };
    launchWithText("");
    field->refuseRangeReplacement()->refuseValueWrites();
    auto keys = desktop.keyboardSynthesizer();
    for (const auto& one : cases) {
        SCOPED_TRACE(one.text);
        field->setText(one.text);
        AXRange selected{-1, -1};
        std::string pasted;
        keys->setBeforeKey([&](Shortcut shortcut) {
            if (shortcut == Shortcut::paste && selected.location < 0) {
                selected = field->selection();
                pasted = clipboard->text().value_or("");
            }
        });
        trigger("fix", ";;fix", one.offset);
        EXPECT_EQ(field->text(), one.after);
        EXPECT_EQ(selected, one.selected);
        EXPECT_EQ(pasted, one.pasted);
    }
}

TEST_F(CoordinatorWriteBack, ARangeTheFieldCannotSelectIsSelectedWithKeysFromItsStart) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    // As a rich editor whose range spans elements: the caret moves, a range is not selected.
    launchWithText("[fix] 😀 ;;fix\nnext");
    field->refuseRangeReplacement()->refuseValueWrites()->refuseRangeSelections();
    auto keys = desktop.keyboardSynthesizer();
    AXRange selected{-1, -1};
    keys->setBeforeKey([&](Shortcut shortcut) {
        if (shortcut == Shortcut::paste)
            selected = field->selection();
    });
    trigger("fix", ";;fix", 9);
    EXPECT_EQ(field->text(), "[fix] [fix] 😀\nnext");
    EXPECT_EQ(selected, (AXRange{6, 8})) << "one key a character, the emoji one";
    auto posted = keys->posted();
    EXPECT_EQ(std::count(posted.begin(), posted.end(), Shortcut::extendSelection), 7);
    EXPECT_EQ(posted.back(), Shortcut::paste);
    EXPECT_EQ(clipboard->contents(), usersCopy);

    // A field whose caret the keys do not move is not pasted over: the next method writes it.
    field->setText("[fix] 😀 ;;fix\nnext");
    desktop.keyboardSynthesizer()->setBeforeKey([&](Shortcut shortcut) {
        if (shortcut == Shortcut::extendSelection)
            field->setSelection({6, 0});
    });
    log.clear();
    trigger("fix", ";;fix", 9);
    EXPECT_EQ(field->text(), "[fix] [fix] 😀\nnext");
    EXPECT_TRUE(log.contains("⚠️ [Pennial] Targeted paste failed (cannotWriteValue), falling "
                             "back to full keyboard paste"));
}

// No keyboard lent by the desktop yet, or a clipboard the application would not paste from: the
// keyboard pastes fail before any key or clipboard change, the field and the user's copy intact.
TEST_F(CoordinatorWriteBack, AKeyboardNotLentYetIsAskedForAtStartAndTouchesNothing) {
    desktop.keyboardSynthesizer()->setReady(false);
    launchWithText("helo ;;fix");
    EXPECT_EQ(desktop.keyboardSynthesizer()->prepared(), 1);
    expectKeyboardPasteUnavailable();
}

TEST_F(CoordinatorWriteBack, AClipboardTheApplicationWouldNotPasteFromTouchesNothing) {
    adjustDependencies = [](CoordinatorDependencies& dependencies) {
        dependencies.clipboardReachesPastes = [](Pid pid) { return pid != notesPid; };
    };
    launchWithText("helo ;;fix");
    expectKeyboardPasteUnavailable();
    EXPECT_TRUE(log.contains("⚠️ [Pennial] Keyboard paste skipped: this desktop does not hand "
                             "our clipboard to native Wayland applications"));
}

TEST_F(CoordinatorWriteBack, ARewriteOfARichFieldWritesEachPlaceItChangesOnItsOwn) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    const std::string text = "Dear team, the report is here today ;;fix\nnext";
    const std::string result = "Dear crew, the report is here today";
    launchWithText(text);
    auto keys = desktop.keyboardSynthesizer();
    std::vector<std::pair<AXRange, std::string>> pasted; // the selection, the clipboard
    keys->setBeforeKey([&](Shortcut shortcut) {
        if (shortcut == Shortcut::paste)
            pasted.emplace_back(field->selection(), clipboard->text().value_or(""));
    });
    // {rich, accepts range replacement, the writes over a selection, the pastes}. Between the
    // two places, "the report is here" is never written (its link and bold word stay).
    struct Case {
        bool rich, ranges;
        std::size_t selectedTextWrites;
        std::vector<std::pair<AXRange, std::string>> pastes;
    };
    const Case cases[] = {
        {true, true, 2, {}},
        {false, true, 1, {}},
        {true, false, 0, {{{5, 4}, "crew"}, {{34, 7}, "y"}}},
        {false, false, 0, {{{5, 36}, "crew, the report is here today"}}},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(::testing::Message() << one.rich << one.ranges);
        field->set(std::string(ax::attribute::richText), one.rich);
        if (!one.ranges)
            field->refuseRangeReplacement()->refuseValueWrites();
        field->setText(text);
        field->setSelection({41, 0}); // just typed the trigger
        pasted.clear();
        desktop.callLog().clear();
        backend.answerNext(Endpoint::transform,
                           FakeAnswer::json(200, {{"transformedText", result}}));
        trigger("fix", ";;fix", 35);
        EXPECT_EQ(field->text(), result + "\nnext");
        EXPECT_EQ(field->selection(), (AXRange{35, 0}));
        const auto writes = writesTo(field);
        EXPECT_EQ(std::count_if(writes.begin(), writes.end(),
                                [](const SimCall& write) {
                                    return write.attribute == ax::attribute::selectedText &&
                                           write.result == AXError::success;
                                }),
                  static_cast<std::ptrdiff_t>(one.selectedTextWrites));
        EXPECT_EQ(pasted, one.pastes);
        EXPECT_EQ(coordinator->statusMessage().substr(0, 3), "✓");
    }
}
