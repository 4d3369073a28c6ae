// The user edits the field at a random moment of a trigger's handling: while the backend answers,
// in the watcher's last interval before the answer, while a write method runs, or as one of the
// program's keys is on its way (after its last look at the field). The edit is a key typed
// somewhere else in the field, a character deleted there, or a key typed where the user's caret
// was (over any selection the program made). Whatever the moment, the user's text survives, no
// selection of the program's is left for the next key, and the run ends either with the result
// written over the unchanged text or with the user's text and no success status. One seeded run
// per write method; PENNIAL_RACE_RUNS sets the pipelines per method (a short run by default).

#include "support/test_seed.hpp"
#include "trigger_fixture.hpp"

#include <cstdlib>
#include <random>

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

const ClipboardSnapshot usersCopy = {ClipboardItem{{{"text/plain", "copied by the user"}}}};
const std::string original = "helo wrld ;;fix";
const std::string written = "[fix] helo wrld";

int racesPerMethod() {
    const char* runs = std::getenv("PENNIAL_RACE_RUNS");
    return runs ? std::max(1, std::atoi(runs)) : 40;
}

enum class Moment { duringCall, lastInterval, duringWrite, asKeyArrives, never };

struct Figures {
    int runs = 0;
    int editedBeforeWrite = 0; // cancelled, the edit kept
    int editedAfterWrite = 0;  // written, then edited
    int unedited = 0;
    int lost = 0;
    int byMoment[4] = {}; // edits during the call, in its last interval, the write, before a key
};

class WriteBackRace : public TriggerFixture, public ::testing::WithParamInterface<WriteMethod> {
protected:
    WriteBackRace() {
        timings.transformCooldown = 0ms;
        timings.clipboardRestoreDelay = 30ms;
    }

    // The user's edit: one character typed or deleted somewhere, the caret where it happened; or
    // a key at the user's caret, which replaces a selection the program made (the user's text
    // then has the key where they typed, and the selected text).
    void edit(std::mt19937& random) {
        textBeforeEdit = field->text();
        const auto length = static_cast<std::int64_t>(textBeforeEdit->size());
        const auto at = std::uniform_int_distribution<std::int64_t>(0, length)(random);
        const auto kind = random() % 4;
        if (kind == 0) {
            const bool programsSelection = field->selection().length > 0;
            field->insertText("X");
            textAfterEdit = programsSelection ? std::string(*textBeforeEdit).insert(userCaret, "X")
                                              : field->text();
            return;
        }
        if (at < length && kind == 1) {
            field->setSelection({at, 1});
            field->insertText("");
        } else {
            field->setSelection({at, 0});
            field->insertText("X");
        }
        textAfterEdit = field->text();
    }

    std::size_t userCaret = 0;
    std::optional<std::string> textBeforeEdit;
    std::optional<std::string> textAfterEdit;
};

} // namespace

TEST_P(WriteBackRace, AnEditAtAnyMomentIsNeverOverwritten) {
    const auto method = GetParam();
    const unsigned seed = testSeed();
    SCOPED_TRACE(seedTrace(seed));
    std::mt19937 random(seed);

    launchWithField(SimElement::textArea(original));
    if (method >= WriteMethod::fullReplacement)
        field->refuseRangeReplacement();
    if (method >= WriteMethod::targetedKeyboardPaste)
        field->refuseValueWrites();
    if (method >= WriteMethod::keyboardPaste)
        field->refuseSelectionWrites();
    auto clipboard = desktop.clipboard();

    Figures figures;
    const int runs = racesPerMethod();
    for (int run = 0; run < runs && !HasFailure(); ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        field->setText(original);
        userCaret = original.size();
        clipboard->copy(usersCopy);
        textBeforeEdit.reset();
        textAfterEdit.reset();
        log.clear();

        const auto answerAfter = std::chrono::milliseconds(random() % 100 + 20);
        backend.setDelay(Endpoint::transform, answerAfter);
        const auto moment = static_cast<Moment>(random() % 5);
        // For an edit during the write: how long after the answer, up to about the method's
        // length (a paste's includes its waits; the accessibility writes take a few steps of
        // main).
        const auto writeWindow = method >= WriteMethod::targetedKeyboardPaste ? 60 : 2;
        const auto editAt = moment == Moment::duringCall
                                ? std::chrono::milliseconds(random() % answerAfter.count())
                            : moment == Moment::lastInterval
                                ? answerAfter - std::chrono::milliseconds(random() % 50)
                                : std::chrono::milliseconds(random() % writeWindow);
        // Moments count from the pipeline's first read of the field: an edit before it is
        // simply part of the text transformed.
        std::optional<Clock::time_point> readAt, answeredAt;

        bool done = false;
        desktop.keyboardSynthesizer()->setBeforeKey([&, keyToEditBefore = random() % 2](Shortcut) {
            if (moment == Moment::asKeyArrives && !textBeforeEdit &&
                desktop.keyboardSynthesizer()->posted().size() > keyToEditBefore)
                edit(random);
        });
        startTrigger("fix", ";;fix", 10, done);
        // Between two steps of main, as a key the user types reaches the field.
        ASSERT_TRUE(runUntil([&] {
            if (!readAt && !log.matching("✅ [Pennial] Got current text").empty())
                readAt = Clock::now();
            if (!answeredAt && !log.matching("🔵 [Pennial] Replacing range").empty())
                answeredAt = Clock::now();
            const auto& from = moment == Moment::duringWrite ? answeredAt : readAt;
            const bool due = from && Clock::now() - *from >= editAt;
            if (moment < Moment::asKeyArrives && !textBeforeEdit && !done && due)
                edit(random);
            return done;
        }));

        ++figures.runs;
        const bool succeeded = coordinator->statusMessage().starts_with("✓");
        EXPECT_EQ(clipboard->contents(), usersCopy);
        // The user's next key goes where they type, not over a selection of the program's.
        EXPECT_EQ(field->selection().length, 0) << "a selection left standing";
        if (!textBeforeEdit) {
            ++figures.unedited;
            EXPECT_TRUE(succeeded) << coordinator->statusMessage();
            EXPECT_EQ(field->text(), written);
            continue;
        }
        ++figures.byMoment[static_cast<int>(moment)];
        if (field->text() != *textAfterEdit)
            ++figures.lost;
        EXPECT_EQ(field->text(), *textAfterEdit) << "the user's text was not kept";
        if (*textBeforeEdit == written) {
            ++figures.editedAfterWrite;
            EXPECT_TRUE(succeeded) << coordinator->statusMessage();
        } else {
            ++figures.editedBeforeWrite;
            EXPECT_FALSE(succeeded) << coordinator->statusMessage();
        }
    }
    EXPECT_EQ(crashes->errors().size(), 0u);
    std::printf("write method %d, seed %u: %d pipelines; edits during the call %d, in its last "
                "50 ms %d, during the write %d, before a key %d; %d edited before the write "
                "(cancelled), %d after it, %d unedited, %d edits lost\n",
                static_cast<int>(method), seed, figures.runs, figures.byMoment[0],
                figures.byMoment[1], figures.byMoment[2], figures.byMoment[3],
                figures.editedBeforeWrite, figures.editedAfterWrite, figures.unedited,
                figures.lost);
}

INSTANTIATE_TEST_SUITE_P(EachWriteMethod, WriteBackRace,
                         ::testing::Values(WriteMethod::rangeReplacement,
                                           WriteMethod::fullReplacement,
                                           WriteMethod::targetedKeyboardPaste,
                                           WriteMethod::keyboardPaste));
