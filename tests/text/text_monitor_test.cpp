#include "support/monitor_harness.hpp"
#include "support/test_seed.hpp"
#include "text/accessibility_error.hpp"

#include <asio/post.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

using namespace pennial;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = AccessibilityError::Kind;

namespace {

class TextMonitorTest : public MonitorHarness, public ::testing::Test {
protected:
    TextMonitorTest() {
        window = desktop.addApplication({501, "org.example.notes", "Notes"})->addWindow("Notes");
    }

    SimElementPtr focusOn(SimElementPtr element) {
        window->add(element);
        desktop.focus(element);
        return element;
    }
    static SimElementPtr refusingField() {
        return SimElement::textField()->failReads("AXValue", AXError::noValue);
    }
    void failReadsWith(std::exception_ptr error) {
        provider->duringRead = [error]() -> Awaitable<void> {
            std::rethrow_exception(error);
            co_return;
        };
    }
    std::vector<SimCall> valueReadsOf(const std::string& name) {
        return desktop.callLog().calls([&](const SimCall& call) {
            return call.element == name && call.attribute == "AXValue";
        });
    }

    SimElementPtr window;
};

TEST_F(TextMonitorTest, TypedTriggerPreviewsThenFiresOnceAtItsUtf16Offset) {
    focusOn(SimElement::textArea("Hi 👋 "));
    start();
    for (auto key : {";", ";", "f", "i", "x"}) {
        desktop.keyboard().type(key);
        nextPoll();
    }
    nextPoll(3);
    EXPECT_THAT(delegate->take(),
                ElementsAre("query [;;] [] 6 true", "query [;;f] [f] 6 true",
                            "query [;;fi] [fi] 6 true", "trigger [fix] [;;fix] 6"));
    EXPECT_THAT(
        log.lines(),
        ::testing::IsSupersetOf(
            {"🔵 [TextMonitor] updateValidCommandNames: [\"fix\", \"sig\"]",
             "🔵 [TextMonitor] Starting monitoring loop — pattern=;; validCommands=[\"fix\", "
             "\"sig\"] commandCount=2",
             "🔍 [TextMonitor] Element changed: role=AXTextArea subrole=nil pid=501 textLen=5",
             "🎯 [TextMonitor] Trigger detected: cmd=fix pattern=;;fix offset=6"}));
}

TEST_F(TextMonitorTest, CompletionReportedDuringTheTriggerReleasesItBeforeTheNextPoll) {
    delegate->onTrigger = [this](std::string name) { return monitor->commandCompleted(name); };
    auto field = focusOn(SimElement::textArea("Hello ;;fix"));
    start();
    field->setText("Bye ;;fix"); // pasted in one step: no partial trigger in between
    nextPoll();
    focusOn(SimElement::textArea("Bye ;;fix")); // the same text in another field is evaluated
    nextPoll();
    EXPECT_THAT(delegate->take(), ElementsAre("trigger [fix] [;;fix] 6", "trigger [fix] [;;fix] 4",
                                              "trigger [fix] [;;fix] 4"));
}

TEST_F(TextMonitorTest, AFailedCommandRunsAgainOnlyOnceTheFieldChanges) {
    delegate->onTrigger = [this](std::string name) { return monitor->commandFailed(name); };
    auto field = focusOn(SimElement::textArea("Hello ;;fix"));
    start();
    nextPoll(5);
    EXPECT_THAT(delegate->take(), ElementsAre("trigger [fix] [;;fix] 6"));
    field->setText("Hello ;;fix ");
    nextPoll();
    field->setText("Hello ;;fix");
    nextPoll();
    EXPECT_THAT(delegate->take(), ElementsAre("trigger [fix] [;;fix] 6"));
}

TEST_F(TextMonitorTest, EachWaitIsTheFullIntervalCountedFromTheEndOfThePollsWork) {
    desktop.setCallLatency(10ms);
    delegate->onTrigger = [this](std::string) -> Awaitable<void> {
        desktop.clock().pass(2s); // the transform
        co_return;
    };
    auto field = focusOn(SimElement::textArea("Hello"));
    start();
    nextPoll(2);
    field->setText("Hello ;;fix");
    nextPoll(2);
    const auto& waits = clock.waits();
    ASSERT_EQ(waits.size(), 5u);
    for (const auto& wait : waits)
        EXPECT_EQ(wait.duration, TextMonitor::pollInterval);
    auto gap = [&](std::size_t i) { return waits[i].startedAt - waits[i - 1].startedAt; };
    EXPECT_GT(gap(2), 100ms) << "the polls' own reads come on top of the interval";
    EXPECT_EQ(gap(3), gap(2) + 2s) << "a poll that triggers waits for the whole transform";
    EXPECT_EQ(gap(4), gap(2));
}

TEST_F(TextMonitorTest, TransientFailuresHideThePaletteOrSwitchToTheKeyboardOthersAreReported) {
    start(); // nothing has focus
    nextPoll(2);
    EXPECT_THAT(delegate->take(), ElementsAre("hide", "hide", "hide"));

    focusOn(refusingField()); // its application is frontmost: the keyboard takes over
    nextPoll(2);
    EXPECT_THAT(delegate->take(), IsEmpty());

    focusOn(SimElement::textField()->failReads("AXValue", AXError::apiDisabled));
    desktop.clearFrontmost();
    nextPoll();
    EXPECT_THAT(delegate->take(), ElementsAre("hide")) << "no application to follow instead";

    for (auto error : {std::make_exception_ptr(AccessibilityError::systemError("boom")),
                       std::make_exception_ptr(AccessibilityError(Kind::invalidElement)),
                       std::make_exception_ptr(AccessibilityError(Kind::cannotWriteValue)),
                       std::make_exception_ptr(std::runtime_error("bus gone"))}) {
        failReadsWith(error);
        nextPoll(2);
    }
    EXPECT_THAT(delegate->take(), ElementsAre("error systemError(boom)", "error systemError(boom)",
                                              "error invalidElement", "error invalidElement",
                                              "error cannotWriteValue", "error cannotWriteValue",
                                              "error bus gone", "error bus gone"));
    EXPECT_TRUE(log.contains("❌ [TextMonitor] Non-transient error: bus gone"));

    log.clear();
    failReadsWith(std::make_exception_ptr(std::system_error(asio::error::operation_aborted)));
    nextPoll(2);
    EXPECT_THAT(delegate->take(), IsEmpty()) << "an aborted read is no error";
    EXPECT_THAT(log.matching("❌"), IsEmpty());
}

TEST_F(TextMonitorTest, AFieldThatKeepsItsTextIsFollowedByKeyboardUntilAFieldCanBeReadAgain) {
    focusOn(refusingField());
    start();
    desktop.keyboard().type("hi ;;fix");
    settle();
    EXPECT_THAT(delegate->take(),
                ElementsAre("query [;;] [] 3 true", "query [;;f] [f] 3 true",
                            "query [;;fi] [fi] 3 true", "trigger [fix] [;;fix] 3"));
    EXPECT_THAT(log.matching("Trigger detected"), IsEmpty());
    EXPECT_TRUE(log.contains("⚠️ [TextMonitor] Cannot read text from element: role=AXTextField "
                             "subrole=nil desc=nil pid=501 error=cannotReadValue"));

    // A key that comes while a poll reads the field is not lost to the read.
    desktop.keyboard().type(" ;;fi");
    settle();
    delegate->take();
    provider->duringRead = [this]() -> Awaitable<void> {
        provider->duringRead = nullptr;
        desktop.keyboard().type("x");
        // The key's report arrives meanwhile.
        for (int turn = 0; turn < 5; ++turn)
            co_await asio::post(co_await asio::this_coro::executor, asio::use_awaitable);
    };
    nextPoll(2);
    EXPECT_THAT(delegate->take(), ::testing::Contains("trigger [fix] [;;fix] 9"));

    focusOn(SimElement::textArea("abc"));
    nextPoll();
    desktop.keyboard().type(" ;;sig");
    settle();
    EXPECT_THAT(delegate->take(), ElementsAre("hide")) << "typing is no longer followed";
    nextPoll();
    EXPECT_THAT(delegate->take(), ElementsAre("trigger [sig] [;;sig] 4"));
}

TEST_F(TextMonitorTest, PasswordFieldsAreNeverReadAndTypingIntoThemNeverReachesDetection) {
    focusOn(SimElement::textArea("x ;;"));
    start();
    auto password = focusOn(SimElement::secureTextField("pw;;fix")->label("password"));
    nextPoll(2);
    EXPECT_THAT(delegate->take(), ElementsAre("query [;;] [] 2 true", "hide"));

    focusOn(refusingField());
    nextPoll();
    desktop.keyboard().type("ab");
    desktop.focus(password); // typed at once, before any poll sees the new focus
    desktop.keyboard().type("hunter2;;fix");
    settle();
    nextPoll();
    desktop.keyboard().type(";;sig");
    settle();
    EXPECT_THAT(delegate->take(), IsEmpty());
    EXPECT_EQ(valueReadsOf("password").size(), 0u);
    EXPECT_THAT(log.matching("hunter2"), IsEmpty());

    focusOn(refusingField());
    nextPoll();
    desktop.keyboard().type(";;fix");
    settle();
    EXPECT_EQ(delegate->take().back(), "trigger [fix] [;;fix] 0") << "nothing typed before is kept";

    // A field that turns into a password field (a "show password" box unticked) is not read again.
    auto turning = focusOn(SimElement::textField("visible")->label("turning"));
    nextPoll(2);
    EXPECT_GT(valueReadsOf("turning").size(), 0u);
    turning->becomeSecure();
    const auto readsBefore = valueReadsOf("turning").size();
    nextPoll(5);
    EXPECT_EQ(valueReadsOf("turning").size(), readsBefore);
}

TEST_F(TextMonitorTest, StopLetsTheCallInProgressFinishAndPollsNoMore) {
    asio::steady_timer transform(io, SimClock::Clock::time_point::max());
    bool finished = false;
    delegate->onTrigger = [&](std::string) -> Awaitable<void> {
        std::error_code ignored;
        co_await transform.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        finished = true;
    };
    focusOn(SimElement::textArea("Hello ;;fix"));
    start();
    run(monitor->stopMonitoring());
    EXPECT_FALSE(finished);
    transform.cancel();
    settle();
    EXPECT_TRUE(finished);
    EXPECT_FALSE(clock.waiting());
    EXPECT_FALSE(run(monitor->isMonitoring()));
    EXPECT_TRUE(log.contains("🔵 [TextMonitor] Monitoring loop stopped"));

    // Stopped while a read is out: what the read brings back is not evaluated.
    delegate->onTrigger = {};
    provider->duringRead = [this]() { return monitor->stopMonitoring(); };
    start();
    provider->duringRead = {};
    EXPECT_FALSE(clock.waiting());

    delegate->take();
    start();
    start(); // already monitoring: nothing more starts
    EXPECT_THAT(delegate->take(), ElementsAre("trigger [fix] [;;fix] 6"));
    EXPECT_EQ(clock.waits().size(), 1u);
    EXPECT_EQ(log.matching("Starting monitoring loop").size(), 3u);
}

TEST_F(TextMonitorTest, StartingWithoutAccessibilityTrustFailsAndStaysStopped) {
    desktop.setTrusted(false);
    EXPECT_THROW(start(), AccessibilityError);
    EXPECT_FALSE(run(monitor->isMonitoring()));
    EXPECT_FALSE(clock.waiting());
}

TEST_F(TextMonitorTest, FieldsItMayNotReadStayUnreadAndANewPatternMeetsTheTextAlreadyThere) {
    // A field whose role cannot be read might be a password field.
    focusOn(SimElement::textArea("a ;;fix")->label("unknown"))
        ->failReads("AXRole", AXError::cannotComplete);
    start();
    nextPoll(2);
    EXPECT_EQ(valueReadsOf("unknown").size(), 0u);

    // Our own windows are read only once that is allowed.
    auto own = desktop.addApplication(desktop.ownProcess())
                   ->addWindow("Settings")
                   ->add(SimElement::textField("b //fix")->label("own"));
    desktop.focus(own);
    nextPoll(2);
    EXPECT_EQ(valueReadsOf("own").size(), 0u);
    run(monitor->updateAllowOwnProcessInputMonitoring(true));
    nextPoll(2);
    EXPECT_GT(valueReadsOf("own").size(), 0u);
    delegate->take();

    // The text read before the pattern changed is evaluated again under the new one.
    run(monitor->updateTriggerPattern("//"));
    nextPoll();
    EXPECT_THAT(delegate->take(), ::testing::Contains("trigger [fix] [//fix] 2"));
}

} // namespace

// Activity in the field starts the next poll at once, through the poll itself: text typed with
// hints at random moments (between polls, or any number of them while a read is out) gives the
// same effects as the same text polled on the interval, and hints coalesce into one poll more.
TEST(TextMonitorActivityTest, HintsStartThePollAtOnceWithThePollsRulesAndCoalesce) {
    const auto seed = std::random_device{}();
    SCOPED_TRACE(fmt::format("seed {}", seed));
    std::mt19937 random(seed);
    const std::string keys[] = {"H", "i", " ", ";", ";", "f", "i", " ", ";", ";", "s", "i",
                                "g", " ", "👋", " ", ";", ";", "f", "i", "x", " ", ";", ";"};
    auto monitored = [](MonitorHarness& harness) {
        auto field = SimElement::textArea("");
        harness.desktop.addApplication({501, "org.example.notes", "Notes"})
            ->addWindow("Notes")
            ->add(field);
        harness.desktop.focus(field);
        harness.start();
    };
    for (int round = 0; round < 25; ++round) {
        MonitorHarness timed;
        MonitorHarness hinted;
        int reads = 0;
        int hintsDuringRead = 0;
        hinted.provider->duringRead = [&]() -> Awaitable<void> {
            ++reads;
            for (; hintsDuringRead > 0; --hintsDuringRead)
                hinted.activity->hint();
            co_return;
        };
        monitored(timed);
        monitored(hinted);
        for (const auto& key : keys) {
            timed.desktop.keyboard().type(key);
            timed.nextPoll();
            hinted.desktop.keyboard().type(key);
            const int before = reads;
            const int mode = static_cast<int>(random() % 3);
            if (mode == 0) {
                hinted.nextPoll();
                continue;
            }
            hintsDuringRead = mode == 1 ? 0 : 1 + static_cast<int>(random() % 4);
            hinted.activity->hint();
            hinted.settle();
            ASSERT_EQ(reads - before, mode == 1 ? 1 : 2) << "round " << round << " key " << key;
            ASSERT_TRUE(hinted.clock.waiting());
        }
        ASSERT_EQ(hinted.delegate->take(), timed.delegate->take()) << "round " << round;
    }
}

// A tick the timer ends, with the platform's rest mark as the last quiet poll left it, is skipped:
// with a mark that changes whenever the desktop does (and is sometimes missing or expired), a
// monitor that skips gives the same effects in the same order as one that polls every tick
// (but for the palette hidden again and again while nothing is focused), through typing, focus
// moves to fields, to a field that keeps its text and to nothing, hints and operations; whether
// it skips by checking after each tick or inside a resting wait (which also has the platform
// renew an ended mark).
class TextMonitorRestTest : public ::testing::TestWithParam<MonitorHarness::Waits> {};

INSTANTIATE_TEST_SUITE_P(BothWaits, TextMonitorRestTest,
                         ::testing::Values(MonitorHarness::Waits::eachTick,
                                           MonitorHarness::Waits::whileResting),
                         [](const auto& info) {
                             return info.param == MonitorHarness::Waits::eachTick
                                        ? "CheckedAfterEachTick"
                                        : "InsideTheRestingWait";
                         });

namespace {
// The events so far, a hide that follows a hide left out.
std::vector<std::string> withoutRepeatedHides(MonitorHarness& harness) {
    auto& events = harness.delegateEvents;
    for (auto& event : harness.delegate->take())
        if (event != "hide" || events.empty() || events.back() != "hide")
            events.push_back(std::move(event));
    return events;
}
} // namespace

TEST_P(TextMonitorRestTest, SkippedTicksLeaveOutOnlyPollsThatWouldHaveDoneNothing) {
    const auto seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mt19937 random(seed);
    MonitorHarness polled;
    MonitorHarness resting(GetParam());
    std::uint64_t serial = 1;
    int markKind = 0; // current, missing, expired
    const auto started = std::chrono::steady_clock::now();
    resting.provider->rest = [&]() -> std::optional<AXRestMark> {
        if (markKind == 1)
            return std::nullopt;
        return AXRestMark{serial, markKind == 0 ? started + 1h : started};
    };
    // A renewal at a mark's end finds the same (and extends it), is not back by the next tick,
    // or counts a change it need not have.
    resting.provider->renew = [&] {
        const auto outcome = random() % 3;
        if (outcome == 0 && markKind == 2)
            markKind = 0;
        else if (outcome == 2)
            ++serial;
        return true;
    };
    int polledReads = 0;
    int restingReads = 0;
    polled.provider->duringRead = [&]() -> Awaitable<void> {
        ++polledReads;
        co_return;
    };
    resting.provider->duringRead = [&]() -> Awaitable<void> {
        ++restingReads;
        co_return;
    };
    auto monitored = [](MonitorHarness& harness) {
        auto window =
            harness.desktop.addApplication({501, "org.example.notes", "Notes"})->addWindow("Notes");
        std::vector<SimElementPtr> fields{
            SimElement::textArea("Hi ;;f"), SimElement::textArea("Hey ;;"),
            SimElement::textField()->failReads("AXValue", AXError::noValue)};
        for (const auto& field : fields)
            window->add(field);
        harness.desktop.focus(fields[0]);
        harness.start();
        return fields;
    };
    const auto polledFields = monitored(polled);
    const auto restingFields = monitored(resting);
    const std::string keys[] = {";", ";", "f", "i", "x", " "};
    for (int step = 0; step < 2000; ++step) {
        const auto action = random() % 12;
        if (action < 2) {
            const auto& key = keys[random() % std::size(keys)];
            polled.desktop.keyboard().type(key);
            resting.desktop.keyboard().type(key);
            ++serial;
        } else if (action == 2) {
            const auto which = random() % 4;
            if (which == 3) {
                polled.desktop.clearFocus();
                resting.desktop.clearFocus();
            } else {
                polled.desktop.focus(polledFields[which]);
                resting.desktop.focus(restingFields[which]);
            }
            ++serial;
        } else if (action == 3) {
            markKind = static_cast<int>(random() % 3);
        } else if (action == 4) {
            polled.activity->hint();
            polled.settle();
            resting.activity->hint();
            resting.settle();
        } else if (action == 5) {
            // The same pattern again: the text read before is evaluated anew.
            const bool pattern = random() % 2;
            for (auto* harness : {&polled, &resting})
                harness->run(pattern ? harness->monitor->updateTriggerPattern(";;")
                                     : harness->monitor->commandCompleted("fix"));
        } else {
            polled.nextPoll();
            resting.nextPoll();
        }
        ASSERT_EQ(withoutRepeatedHides(resting), withoutRepeatedHides(polled)) << "step " << step;
    }
    EXPECT_LT(restingReads, polledReads) << "ticks at rest were skipped";
}

// At rest the platform renews its mark a tick before the mark ends, so that a change the renewal
// finds (a change no report told of) is polled by the mark's end; far from its end, nothing is
// renewed and nothing read.
TEST(TextMonitorRenewalTest, AMarkIsRenewedATickBeforeItsEndAndWhatTheRenewalFindsIsPolled) {
    MonitorHarness harness(MonitorHarness::Waits::whileResting);
    auto window =
        harness.desktop.addApplication({501, "org.example.notes", "Notes"})->addWindow("Notes");
    auto field = SimElement::textArea("Dear Ann");
    window->add(field);
    harness.desktop.focus(field);
    std::uint64_t serial = 1;
    auto until = std::chrono::steady_clock::now() + 1h;
    int renewals = 0, reads = 0;
    harness.provider->rest = [&] { return std::optional(AXRestMark{serial, until}); };
    harness.provider->renew = [&] {
        ++renewals;
        ++serial; // the field's text was found changed
        return true;
    };
    harness.provider->duringRead = [&]() -> Awaitable<void> {
        ++reads;
        co_return;
    };
    harness.start();
    harness.nextPoll(); // quiet: the loop rests from here
    const int readsAtRest = reads;
    harness.nextPoll(5);
    EXPECT_EQ(reads, readsAtRest);
    EXPECT_EQ(renewals, 0);

    // Something changed: polled, and at rest again at a mark that ends within a tick.
    ++serial;
    until = std::chrono::steady_clock::now() + TextMonitor::pollInterval / 2;
    harness.nextPoll();
    EXPECT_EQ(reads, readsAtRest + 1);
    harness.nextPoll();
    EXPECT_EQ(renewals, 1) << "renewed while the mark still held";
    EXPECT_EQ(reads, readsAtRest + 1) << "the tick of the renewal is still at rest";
    harness.nextPoll();
    EXPECT_EQ(reads, readsAtRest + 2) << "the change the renewal found is polled at the next tick";
}
