#include "base/log.hpp"
#include "run_awaitable.hpp"
#include "services/context_telemetry_reporter.hpp"
#include "services/curl_http_client.hpp"
#include "static_token_provider.hpp"
#include "support/fake_backend.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::testing;

namespace {

class ContextTelemetryReporterTest : public ::testing::Test {
protected:
    void report(ContextTelemetryReporter& reporter, std::vector<AnonymizedTreeNode> tree = {}) {
        runAwaitable(reporter.report("org.example.editor", "Editor", "none", std::move(tree)));
    }

    FakeBackend backend;
    CurlHttpClient client;
    StaticTokenProvider tokens;
    ContextTelemetryReporter reporter{client, backend.baseURL(), tokens};
    LogCapture log;
};

} // namespace

TEST_F(ContextTelemetryReporterTest, SendsTheApplicationAndTheOutlineOfItsTreeOnce) {
    report(reporter, {{"AXWindow", std::nullopt, 1, 0}, {std::nullopt, std::nullopt, 0, 1}});

    auto sent = backend.requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(sent[0].path, "/api/context-telemetry");
    EXPECT_EQ(sent[0].header("Content-Type"), "application/json");
    EXPECT_EQ(sent[0].header("Authorization"), "Bearer test-token");
    EXPECT_EQ(
        sent[0].body,
        R"({"bundleIdentifier":"org.example.editor","appName":"Editor","strategyUsed":"none",)"
        R"("tree":[{"role":"AXWindow","childCount":1,"depth":0},{"childCount":0,"depth":1}]})");
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"📡 [ContextTelemetry] Reported unknown app: Editor "
                                       "(org.example.editor)"});

    report(reporter);
    EXPECT_EQ(backend.requests()[1].json()["tree"], Json::array());
}

TEST_F(ContextTelemetryReporterTest, FailuresAreLoggedOnceAndNeverRetried) {
    backend.answerNext(Endpoint::contextTelemetry, FakeAnswer::empty(500));
    report(reporter);
    EXPECT_EQ(backend.requestCount(Endpoint::contextTelemetry), 1u);

    StaticTokenProvider signedOut(std::nullopt);
    ContextTelemetryReporter withoutSession(client, backend.baseURL(), signedOut);
    report(withoutSession);
    EXPECT_EQ(backend.requestCount(Endpoint::contextTelemetry), 1u) << "nothing sent";

    ContextTelemetryReporter nowhere(client, "not an address", tokens);
    report(nowhere);

    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "⚠️ [ContextTelemetry] Failed to report: httpError(statusCode: 500)",
                  "⚠️ [ContextTelemetry] Failed to report: noSession"}));
}
