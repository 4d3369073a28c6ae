#include "services/config_service.hpp"
#include "trigger_fixture.hpp"

using namespace pennial;
using namespace pennial::testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

class CoordinatorTrigger : public TriggerFixture {
protected:
    // The default commands and one plain snippet, "addr".
    void addPlainSnippet() {
        auto config = AppConfig::defaults();
        config.commands.push_back(Command::make("addr", "221B Baker Street", false));
        await(coordinator->configService()->saveConfiguration(config));
    }
};

} // namespace

TEST_F(CoordinatorTrigger, ARewriteIsSentWrittenOverItsRangeAndStartsTheCooldown) {
    launchWithField(SimElement::textArea("helo wrld ;;fix"));
    auto config = AppConfig::defaults();
    config.userDisplayNames = "Ada";
    writeConfig(config); // read at the trigger, not at start-up
    trigger("fix", ";;fix", 10);

    EXPECT_EQ(field->text(), "[fix] helo wrld");
    auto lines = triggerLines();
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_THAT(
        std::vector(lines.begin(), lines.end() - 1),
        ElementsAre("🔵 [Pennial] Trigger detected: fix", "✅ [Pennial] Command found: fix",
                    "✅ [Pennial] Got focused element", "✅ [Pennial] Got current text (length: 15)",
                    "✅ [Pennial] Text to transform (length: 9), preserved suffix "
                    "(length: 0), text after trigger (length: 0)",
                    "✅ [Pennial] Context captured: Notes – Draft", "🌐 [Pennial] Calling API...",
                    "✅ [Pennial] API response received (length: 15, time: 7ms)",
                    "🔵 [Pennial] Replacing range 0..15 with text (length: 15)...",
                    "✅ [Pennial] Text replaced via range replacement"));
    EXPECT_THAT(lines.back(), StartsWith("⏱️ [Pennial] Total transformation time: "));
    EXPECT_THAT(coordinator->statusMessage(), StartsWith("✓ Transformed with fix ("));
    EXPECT_THAT(textMonitor->completed, ElementsAre("fix"));
    EXPECT_THAT(overlay->calls, ElementsAre("processing", "hide"));

    ASSERT_EQ(transforms().size(), 1u);
    auto body = transforms()[0].json();
    EXPECT_EQ(body["text"], "helo wrld");
    EXPECT_EQ(body["content"], AppConfig::defaultCommands()[0].content);
    EXPECT_EQ(body["userDisplayNames"], "Ada");
    EXPECT_FALSE(body.contains("userWritingContext")) << "an empty string is sent as absent";

    // Within the cooldown the next trigger is dropped.
    field->setText("again ;;fix");
    trigger("fix", ";;fix", 6);
    EXPECT_EQ(coordinatorLines().back(),
              "⏳ [Pennial] Debounce: skipping trigger within 1.5s of last transform");
    EXPECT_EQ(transforms().size(), 1u);
    EXPECT_EQ(textMonitor->completed.size(), 1u) << "a dropped trigger tells the monitor nothing";
}

TEST_F(CoordinatorTrigger, InsertCommandsComposeTheirResultAndAPlainSnippetNeedsNoBackend) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    launchWithField(SimElement::textArea("Thanks ;;sig\nP.S."));
    addPlainSnippet();
    trigger("sig", ";;sig", 7);
    EXPECT_EQ(field->text(), "Thanks\nBest,\n(filled)\nP.S.");
    ASSERT_EQ(transforms().size(), 1u);
    EXPECT_EQ(transforms()[0].json()["text"], "") << "an insert sends no text";
    EXPECT_THAT(coordinator->statusMessage(), StartsWith("✓ Inserted sig ("));

    overlay->calls.clear();
    log.clear();
    field->setText("Ship to: ;;addr");
    trigger("addr", ";;addr", 9);
    EXPECT_EQ(field->text(), "Ship to:\n221B Baker Street");
    EXPECT_EQ(transforms().size(), 1u);
    EXPECT_EQ(coordinator->statusMessage(), "✓ Inserted addr");
    EXPECT_THAT(overlay->calls, ElementsAre("hide")) << "no processing card";
    EXPECT_THAT(log.matching("Text replaced"), IsEmpty()) << "methods are not announced";
    EXPECT_THAT(textMonitor->completed, ElementsAre("sig", "addr"));
}

TEST_F(CoordinatorTrigger, UnknownCommandsPasswordFieldsAndOwnWindowsEndBeforeAnyCall) {
    launchWithField(SimElement::textArea("helo ;;fix"));
    trigger("nope", ";;nope", 2);
    EXPECT_EQ(coordinator->statusMessage(), "Command not found");
    EXPECT_EQ(coordinator->lastError(), "Unknown command: nope");

    auto password = notes->add(SimElement::secureTextField("hunter2 ;;fix")->label("password"));
    desktop.focus(password);
    trigger("fix", ";;fix", 8);
    EXPECT_EQ(coordinator->statusMessage(), "Secure field - transformation disabled");
    EXPECT_THAT(desktop.callLog().calls([](const SimCall& call) {
        return call.element == "password" && call.attribute == "AXValue";
    }),
                IsEmpty());

    // This application's settings window in front: dropped without a trace.
    desktop.focus(field);
    desktop.activate(desktop.ownProcess().processIdentifier);
    desktop.setOwnWindows({{"settings", true}, {"onboarding", false}});
    log.clear();
    trigger("fix", ";;fix", 5);
    EXPECT_THAT(coordinatorLines(), IsEmpty());
    EXPECT_TRUE(transforms().empty());
    EXPECT_TRUE(textMonitor->completed.empty() && textMonitor->failed.empty());
    EXPECT_TRUE(overlay->calls.empty());

    // The onboarding window in front holds nothing back, and nothing above started the cooldown.
    desktop.setOwnWindows({{"settings", true}, {"onboarding", true}});
    trigger("fix", ";;fix", 5);
    EXPECT_EQ(field->text(), "[fix] helo");
}

TEST_F(CoordinatorTrigger, AnEditDuringTheCallCancelsItAtOnceAndWritesNothing) {
    launchWithField(SimElement::textArea("helo wrld ;;fix"));
    backend.setDelay(Endpoint::transform, std::chrono::seconds(3));
    bool done = false;
    startTrigger("fix", ";;fix", 10, done);
    ASSERT_TRUE(runUntil([&] { return transforms().size() == 1; }));
    desktop.keyboard().type("!");
    auto editedAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(runUntil([&] { return done; }));
    EXPECT_LT(std::chrono::steady_clock::now() - editedAt, std::chrono::milliseconds(500))
        << "the call in flight is abandoned";

    EXPECT_EQ(field->text(), "helo wrld ;;fix!");
    EXPECT_TRUE(log.contains("⚠️ [Pennial] Text changed - cancelling"));
    EXPECT_EQ(coordinatorLines().back(),
              "⚠️ [Pennial] Transformation cancelled (text changed during API call)");
    EXPECT_EQ(coordinator->statusMessage(), "Cancelled - text changed");
    EXPECT_EQ(coordinator->lastError(), std::nullopt);
    EXPECT_THAT(textMonitor->failed, ElementsAre("fix"));
    EXPECT_TRUE(crashes->errors().empty());

    trigger("fix", ";;fix!", 10);
    EXPECT_THAT(coordinatorLines().back(), StartsWith("⏳ [Pennial] Debounce"));
}

TEST_F(CoordinatorTrigger, KeysTypedBeforeTheCallBeginsAreNeverOverwritten) {
    launchWithField(SimElement::textArea("helo wrld ;;fix"));
    bool done = false;
    startTrigger("fix", ";;fix", 10, done);
    // The processing card comes after the first read and before the baseline read.
    ASSERT_TRUE(runUntil([&] { return !overlay->calls.empty(); }));
    desktop.keyboard().type("x");
    ASSERT_TRUE(runUntil([&] { return done; }));

    EXPECT_EQ(field->text(), "helo wrld ;;fixx");
    EXPECT_TRUE(log.contains(
        "⚠️ [Pennial] monitorBaseline differs from originalText! original=15 baseline=16"));
    EXPECT_EQ(coordinator->statusMessage(), "Cancelled - text changed");
    EXPECT_TRUE(transforms().empty());
}

TEST_F(CoordinatorTrigger, TheTriggerIsCutWhereItStandsNowOrNothingIsWritten) {
    timings.transformCooldown = std::chrono::milliseconds(0);
    launchWithField(SimElement::textArea("Dear Ann, thanks ;;fix"));
    trigger("fix", ";;fix", std::nullopt);
    EXPECT_EQ(field->text(), "[fix] Dear Ann, thanks") << "a missing offset is looked up";

    field->setText("oh hi ;;fix");
    trigger("fix", ";;fix", 0);
    EXPECT_EQ(field->text(), "[fix] oh hi") << "a stale offset gives way to where it is";

    field->setText("gone already");
    log.clear();
    trigger("fix", ";;fix", 5);
    EXPECT_EQ(field->text(), "gone already");
    EXPECT_EQ(coordinatorLines().back(),
              "⚠️ [Pennial] Trigger no longer in the text - nothing written");
    EXPECT_EQ(coordinator->statusMessage(), "Trigger not found - nothing written");
    EXPECT_EQ(transforms().size(), 2u);
    EXPECT_THAT(textMonitor->failed, ElementsAre("fix"));
}

namespace {

// How the session is gone by the time the trigger calls the backend: refused by it, or already
// ended in this program (a refresh elsewhere refused, say), so that there is none to send.
enum class LostSession { refusedByTheBackend, endedBeforeTheCall };

class CoordinatorTriggerWithoutSession : public CoordinatorTrigger,
                                         public ::testing::WithParamInterface<LostSession> {};

} // namespace

TEST_P(CoordinatorTriggerWithoutSession, SignsOutAndAsksForSignInRatherThanReportAFailure) {
    launchWithField(SimElement::textArea("helo ;;fix"));
    if (GetParam() == LostSession::refusedByTheBackend)
        backend.answerNext(Endpoint::transform, FakeAnswer::json(401, {{"error", "expired"}}));
    else
        await(coordinator->authService()->signOut());
    trigger("fix", ";;fix", 5);

    EXPECT_EQ(field->text(), "helo ;;fix");
    EXPECT_EQ(transforms().size(), GetParam() == LostSession::refusedByTheBackend ? 1u : 0u);

    EXPECT_TRUE(log.contains("[Pennial] Auth session expired or missing"));
    EXPECT_FALSE(coordinator->isAuthenticated());
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_EQ(coordinator->statusMessage(), "Monitoring stopped");
    EXPECT_EQ(coordinator->lastError(), "Session expired. Please sign in again.");
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::signIn);
    EXPECT_THAT(crashes->messages("auth"), ElementsAre("Session expired during transform"));
    EXPECT_TRUE(crashes->errors().empty());
    EXPECT_THAT(textMonitor->failed, ElementsAre("fix"));
}

INSTANTIATE_TEST_SUITE_P(, CoordinatorTriggerWithoutSession,
                         ::testing::Values(LostSession::refusedByTheBackend,
                                           LostSession::endedBeforeTheCall),
                         [](const auto& info) {
                             return info.param == LostSession::refusedByTheBackend
                                        ? "RefusedByTheBackend"
                                        : "EndedBeforeTheCall";
                         });

TEST_F(CoordinatorTrigger, OtherFailuresAreReportedAndLeaveNoCooldown) {
    launchWithField(SimElement::textArea("helo ;;fix"));
    backend.answerNext(Endpoint::transform, FakeAnswer::json(500, {{"error", "down"}}));
    trigger("fix", ";;fix", 5);
    EXPECT_EQ(coordinator->statusMessage(), "Error occurred");
    EXPECT_THAT(*coordinator->lastError(), StartsWith("Transformation failed: "));
    EXPECT_THAT(coordinatorLines().back(), StartsWith("❌ [Pennial] Error: "));
    EXPECT_EQ(crashes->errors().size(), 1u);

    // A field that can no longer be read during the call fails the trigger too.
    backend.setDelay(Endpoint::transform, std::chrono::milliseconds(300));
    bool done = false;
    startTrigger("fix", ";;fix", 5, done);
    ASSERT_TRUE(runUntil([&] { return transforms().size() == 2; }));
    field->failReads("AXValue", AXError::cannotComplete);
    ASSERT_TRUE(runUntil([&] { return done; }));
    EXPECT_EQ(coordinator->lastError(), "Transformation failed: cannotReadValue");
    EXPECT_THAT(textMonitor->failed, ElementsAre("fix", "fix"));
}
