#include "app/crash_reporting.hpp"
#include "app/secret_harvesting.hpp"
#include "app/uploading_crash_reporter.hpp"
#include "coordinator_fixture.hpp"
#include "platform/linux/crash/local_crash_reporter.hpp"
#include "services/auth_session.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_ingestion.hpp"

#include <random>

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

std::string base64Url(std::string_view bytes) {
    static constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    unsigned bits = 0, held = 0;
    for (unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        for (held += 8; held >= 6; held -= 6)
            out += alphabet[(bits >> (held - 6)) & 63];
    }
    if (held > 0)
        out += alphabet[(bits << (6 - held)) & 63];
    return out;
}

// An access token as the hosted auth service issues it: signed, its claims naming the user.
std::string issuedAccessToken(const std::string& userId, const std::string& email) {
    auto now = std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count();
    OrderedJson header{{"alg", "HS256"}, {"kid", "Xk2mZQ9bT7vR4pLs"}, {"typ", "JWT"}};
    OrderedJson claims{
        {"iss", "https://qzkvtmwplxbrhdnaecfy.auth.example.test/auth/v1"},
        {"sub", userId},
        {"aud", "authenticated"},
        {"exp", now + 30},
        {"iat", now - 3570},
        {"email", email},
        {"phone", ""},
        {"app_metadata", {{"provider", "email"}, {"providers", {"email"}}}},
        {"user_metadata",
         {{"email", email}, {"email_verified", true}, {"phone_verified", false}, {"sub", userId}}},
        {"role", "authenticated"},
        {"aal", "aal1"},
        {"amr", {{{"method", "otp"}, {"timestamp", now - 3570}}}},
        {"session_id", "5f0c6f2e-8d1b-4c3a-9e7f-2b6d4a1c8e90"},
        {"is_anonymous", false}};
    std::mt19937 random(7);
    std::string signature;
    for (int i = 0; i < 32; ++i)
        signature += static_cast<char>(random() & 0xff);
    return base64Url(json::dump(header)) + "." + base64Url(json::dump(claims)) + "." +
           base64Url(signature);
}

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
    auto session = secrets->read("com.pennial.Pennial.auth", "session").data;
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

// The auth service echoes the tokens of a refresh it failed; the message that quotes it is cut
// short in the middle of the access token. Nothing of either token, nor the address its claims
// hold, reaches the service.
TEST_F(CrashReportSecrets, ATokenEchoedInAnErrorBodyDoesNotReachTheService) {
    const std::string email = "ada.lovelace@example.de", refreshToken = "hq4vxm2rkz7b";
    const std::string accessToken = issuedAccessToken(FakeBackend::defaultUserId, email);
    completeAllSteps();
    secrets->putItem("com.pennial.Pennial.auth", "session",
                     AuthSession{FakeBackend::defaultUserId, accessToken, refreshToken,
                                 std::chrono::system_clock::now() + std::chrono::seconds(30), email}
                         .toJson());
    backend.answerAlways(
        Endpoint::tokenRefresh,
        FakeAnswer::json(500, {{"code", 500},
                               {"error_code", "unexpected_failure"},
                               {"msg", "Refresh token " + refreshToken + " of session " +
                                           accessToken + " could not be used"}}));
    desktop.setTrusted(true);
    auto notes = desktop.addApplication({501, "org.example.notes", "Notes"})->addWindow("Draft");
    const std::string draft = "See you at nine";
    auto field = notes->add(SimElement::textArea(draft + " ;;fix")->label("field"));
    desktop.focus(field);
    launch();
    ASSERT_TRUE(runUntil([&] { return coordinator->isMonitoring(); }));
    await(textMonitor->sendTrigger("fix", ";;fix", static_cast<long long>(draft.size() + 1)));

    ASSERT_TRUE(runUntil(
        [&] { return backend.requestCount(Endpoint::crashEnvelope) > 0 && queueIsEmpty(); },
        std::chrono::seconds(10)));
    auto claims = accessToken.substr(accessToken.find('.') + 1);
    bool quoted = false;
    for (const auto& envelope : backend.requests(Endpoint::crashEnvelope)) {
        auto value = parseCrashEnvelope(envelope.body)[2]["exception"]["values"][0]["value"];
        quoted = quoted || value.get<std::string>().starts_with("refreshFailed(statusCode: 500");
        EXPECT_EQ(envelope.body.find(refreshToken), std::string::npos);
        EXPECT_EQ(envelope.body.find(email), std::string::npos);
        for (std::size_t at = 0; at + 12 <= claims.size(); ++at)
            ASSERT_EQ(envelope.body.find(claims.substr(at, 12)), std::string::npos)
                << "a piece of the token at " << at << " in " << envelope.body;
    }
    EXPECT_TRUE(quoted) << "the failed refresh is reported";
}
