#include "app/crash_reporting.hpp"
#include "app/secret_harvesting.hpp"
#include "app/uploading_crash_reporter.hpp"
#include "coordinator_fixture.hpp"
#include "platform/linux/crash/local_crash_reporter.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_ingestion.hpp"

using namespace pennial;
using namespace pennial::testing;

namespace {

// The coordinator as the application builds it when a data source name is set: its HTTP clients
// and secret store watched by the scrubber, its reports sent to the fake backend's ingestion
// endpoint.
class CrashReportSecrets : public CoordinatorFixture {
protected:
    CrashReportSecrets() {
        timings.transformCooldown = std::chrono::milliseconds(10);
        adjustDependencies = [this](CoordinatorDependencies& dependencies) {
            auto scrubber = std::make_shared<SecretScrubber>();
            harvestSecrets(dependencies, scrubber);
            auto dsn = fmt::format("http://0123456789abcdef0123456789abcdef@127.0.0.1:{}/4507",
                                   backend.port());
            uploader = CrashReportUploader::create(reports(), CrashDsn::parse(dsn).value(),
                                                   std::make_shared<CurlHttpClient>(), scrubber,
                                                   {"Debian GNU/Linux", "12", "6.1.0", "x86_64"});
            reporter = std::make_shared<UploadingCrashReporter>(
                std::make_shared<LocalCrashReporter>(reports(), scrubber), uploader);
            startCrashReporting(*reporter, dsn);
            dependencies.crashReporter = reporter;
        };
    }
    ~CrashReportSecrets() override {
        coordinator.reset();
        if (uploader)
            uploader->waitUntilIdle(std::chrono::seconds(10));
    }

    std::filesystem::path reports() const { return folder / "crash-reports"; }
    bool queueIsEmpty() const { return std::filesystem::is_empty(reports()); }

    std::shared_ptr<CrashReportUploader> uploader;
    std::shared_ptr<UploadingCrashReporter> reporter;
};

} // namespace

TEST_F(CrashReportSecrets, NoSecretOfASignInAndTransformRunReachesTheService) {
    const std::string email = "grace.hopper@navy.example.test";
    const std::string wrongCode = "402913", code = "918273";
    const std::string draft = "Meet me at the harbour at nine, bring the ledger";
    const std::string secondDraft = "The vault combination is on the back of the photo";
    const std::string writingContext = "Writes terse notes about compilers";

    completePreSignInSteps();
    desktop.setTrusted(true);
    auto notes = desktop.addApplication({501, "org.example.notes", "Notes"})->addWindow("Draft");
    auto field = notes->add(SimElement::textArea(draft + " ;;fix")->label("field"));
    desktop.focus(field);
    launch();
    ASSERT_EQ(onboarding->lastStage(), OnboardingStage::signIn);

    // Sign-in, with a wrong code first whose failure is captured; the backend's message echoes
    // the code and the address.
    backend.setOtpCode(code);
    ASSERT_TRUE(await(onboarding->current.onRequestOTP(email)).succeeded());
    backend.answerNext(Endpoint::otpVerify,
                       FakeAnswer::json(403, {{"error_code", "otp_expired"},
                                              {"msg", "Token " + wrongCode + " for " + email +
                                                          " has expired or is invalid"}}));
    EXPECT_FALSE(await(onboarding->current.onVerifyOTP(email, wrongCode)).succeeded());
    ASSERT_TRUE(await(onboarding->current.onVerifyOTP(email, code)).succeeded());
    onboarding->current.onSignInComplete();
    ASSERT_TRUE(runUntil([&] { return onboarding->lastStage() == OnboardingStage::getToKnowYou; }));
    onboarding->current.onSaveProfile("Grace", writingContext);
    ASSERT_TRUE(runUntil([&] { return backend.requestCount(Endpoint::profileUpsert) == 1; }));
    onboarding->current.onCompletePlayground();
    ASSERT_TRUE(runUntil([&] { return coordinator->isMonitoring(); }));

    // A transform that succeeds, then one that fails and is captured.
    auto offset = static_cast<long long>(draft.size() + 1);
    await(textMonitor->sendTrigger("fix", ";;fix", offset));
    ASSERT_EQ(field->text(), "[fix] " + draft);
    runFor(std::chrono::milliseconds(20));
    field->setText(secondDraft + " ;;fix");
    backend.answerNext(Endpoint::transform,
                       FakeAnswer::json(422, {{"error", "cannot rewrite " + secondDraft}}));
    await(textMonitor->sendTrigger("fix", ";;fix", static_cast<long long>(secondDraft.size() + 1)));

    // A careless message holding every secret of the run.
    auto session = secrets->read("com.pennial.macos.auth", "session").data;
    auto record = json::parse(session);
    const std::vector<std::string> secretsOfTheRun = {email,
                                                      wrongCode,
                                                      code,
                                                      record["accessToken"],
                                                      record["refreshToken"],
                                                      session,
                                                      draft,
                                                      "[fix] " + draft,
                                                      secondDraft,
                                                      writingContext};
    reporter->addBreadcrumb({BreadcrumbLevel::info, "auth", "Session " + session});
    std::string careless = "Lost the field:";
    for (const auto& secret : secretsOfTheRun)
        careless += " " + secret;
    reporter->captureError(std::make_exception_ptr(std::runtime_error(careless)));

    ASSERT_TRUE(runUntil([&] { return queueIsEmpty(); }, std::chrono::seconds(10)));
    auto envelopes = backend.requests(Endpoint::crashEnvelope);
    ASSERT_GE(envelopes.size(), 3u) << "the wrong code, the failed transform, the careless error";
    for (const auto& envelope : envelopes) {
        auto event = parseCrashEnvelope(envelope.body)[2];
        EXPECT_EQ(event["release"], "com.pennial.macos@0.5.35");
        for (const auto& secret : secretsOfTheRun) {
            EXPECT_EQ(envelope.body.find(secret), std::string::npos) << secret;
            for (const auto& [name, value] : envelope.headers)
                EXPECT_EQ(value.find(secret), std::string::npos) << name << ": " << secret;
        }
    }
    auto last = parseCrashEnvelope(envelopes.back().body)[2];
    EXPECT_EQ(last["exception"]["values"][0]["value"].get<std::string>().rfind(
                  "Lost the field: [Filtered]", 0),
              0u);
}
