#include "base/log.hpp"
#include "run_awaitable.hpp"
#include "services/auth_error.hpp"
#include "services/curl_http_client.hpp"
#include "services/transform_request.hpp"
#include "services/transform_service.hpp"
#include "static_token_provider.hpp"
#include "support/fake_backend.hpp"

#include <asio/io_context.hpp>
#include <gtest/gtest.h>
#include <mutex>

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;

namespace {

class TransformServiceTest : public ::testing::Test {
protected:
    TransformResponse transform(TransformService& service, const Command& command) {
        return runAwaitable(
            service.transform("hello", command, std::nullopt, std::nullopt, std::nullopt));
    }
    TransformResponse transform() { return transform(service, fix); }

    template <class Error> Error failure(TransformService& service) {
        try {
            transform(service, fix);
        } catch (const Error& error) {
            return error;
        }
        ADD_FAILURE() << "the call did not fail as expected";
        throw std::runtime_error("no failure");
    }
    template <class Error> Error failure() { return failure<Error>(service); }

    std::vector<std::chrono::steady_clock::duration> recordedWaits() {
        std::lock_guard lock(waitsMutex);
        return waits;
    }

    // Outcome of a call cancelled once the condition holds, and how long the call took to end
    // after the cancel.
    std::pair<std::exception_ptr, std::chrono::steady_clock::duration>
    cancelWhen(TransformService& service, std::function<bool()> condition) {
        asio::io_context io;
        std::exception_ptr outcome;
        std::chrono::steady_clock::time_point cancelledAt, endedAt;
        auto call = [&]() -> Awaitable<void> {
            co_await service.transform("hello", fix, std::nullopt, std::nullopt, std::nullopt);
        };
        auto task = Task::spawn(io.get_executor(), call(), [&](std::exception_ptr error) {
            endedAt = std::chrono::steady_clock::now();
            outcome = error;
        });
        auto cancelWhenReady = [&]() -> Awaitable<void> {
            while (!condition())
                co_await sleepFor(1ms);
            cancelledAt = std::chrono::steady_clock::now();
            task.cancel();
        };
        Task::spawn(io.get_executor(), cancelWhenReady());
        io.run();
        return {outcome, endedAt - cancelledAt};
    }

    FakeBackend backend;
    CurlHttpClient client;
    StaticTokenProvider tokens;
    std::mutex waitsMutex;
    std::vector<std::chrono::steady_clock::duration> waits;
    TransformService::Sleep recordWait =
        [this](std::chrono::steady_clock::duration wait) -> Awaitable<SleepResult> {
        std::lock_guard lock(waitsMutex);
        waits.push_back(wait);
        co_return SleepResult::elapsed;
    };
    TransformService service{client, backend.baseURL(), 30.0, tokens, recordWait};
    Command fix = Command::make("fix", "Fix it", true);
    LogCapture log;
};

} // namespace

TEST_F(TransformServiceTest, SendsOneSignedPostWithTheRequestAsItsBody) {
    AppContext context{"Mail", "org.mail", "Inbox", "/tmp/a.txt", "Hi Ann"};
    auto response = runAwaitable(service.transform("hello", fix, context, "Ann", ""));
    EXPECT_EQ(response, (TransformResponse{"[fix] hello", 7}));

    auto sent = backend.requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(sent[0].path, "/api/transform");
    EXPECT_EQ(sent[0].query, "");
    EXPECT_EQ(sent[0].header("Content-Type"), "application/json");
    EXPECT_EQ(sent[0].header("Authorization"), "Bearer test-token");
    EXPECT_EQ(
        sent[0].body,
        json::dump(
            TransformRequest{"hello", "fix", "Fix it", "smart_edit", context, "Ann", ""}.toJson()));

    auto snippet = Command::make("ty", "Thanks <for what>!", false);
    EXPECT_EQ(transform(service, snippet).transformedText, "Thanks (filled)!");
    EXPECT_EQ(backend.requests()[1].json()["mode"], "snippet");
    EXPECT_FALSE(backend.requests()[1].json().contains("context"));
    EXPECT_EQ(tokens.calls, 2);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(TransformServiceTest, AnswersOtherThanNetworkFailuresEndTheCallAtOnce) {
    backend.answerNext(Endpoint::transform, FakeAnswer::json(401, {{"error", "expired"}}));
    EXPECT_EQ(failure<AuthError>().kind(), AuthError::Kind::sessionExpired);

    backend.answerNext(Endpoint::transform, FakeAnswer::text(500, "down"));
    EXPECT_EQ(failure<HTTPError>(), HTTPError::httpError(500, "down"));
    backend.answerNext(Endpoint::transform, FakeAnswer::empty(429));
    EXPECT_EQ(failure<HTTPError>().statusCode(), 429);

    backend.answerNext(Endpoint::transform, FakeAnswer::malformed());
    EXPECT_EQ(failure<HTTPError>().kind(), HTTPError::Kind::decodingError);
    backend.answerNext(Endpoint::transform, FakeAnswer::json(200, {{"text", "no"}}));
    EXPECT_EQ(failure<HTTPError>().kind(), HTTPError::Kind::decodingError);

    EXPECT_EQ(backend.requestCount(Endpoint::transform), 5u) << "one send each";
    EXPECT_TRUE(recordedWaits().empty());
}

TEST_F(TransformServiceTest, TheTimeOutIsCountedInSecondsForEachSend) {
    // A rewrite the backend takes a second and a half over arrives within two and a half seconds.
    TransformService patient(client, backend.baseURL(), 2.5, tokens, recordWait);
    backend.answerNext(
        Endpoint::transform,
        FakeAnswer::json(200, {{"transformedText", "Slow but sure."}}).after(1500ms));
    EXPECT_EQ(transform(patient, fix).transformedText, "Slow but sure.");

    TransformService impatient(client, backend.baseURL(), 0.1, tokens, recordWait);
    backend.answerNext(Endpoint::transform, FakeAnswer::empty(200).after(3s));
    EXPECT_EQ(failure<HTTPError>(impatient), HTTPError::timeout());
    EXPECT_EQ(backend.requestCount(Endpoint::transform), 2u) << "a time-out is not retried";
    EXPECT_TRUE(recordedWaits().empty());
}

TEST_F(TransformServiceTest, NetworkFailuresAreSentThreeTimesWithWaitsOfOneAndTwoSeconds) {
    backend.answerNext(Endpoint::transform,
                       {FakeAnswer::closed(), FakeAnswer::closed(), FakeAnswer::closed()});
    EXPECT_EQ(failure<HTTPError>().kind(), HTTPError::Kind::networkError);
    EXPECT_EQ(recordedWaits(), (std::vector<std::chrono::steady_clock::duration>{1s, 2s}));
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "⚠️ [TransformService] Network error on attempt 1, retrying in 1.0s...",
                  "⚠️ [TransformService] Network error on attempt 2, retrying in 2.0s..."}));
    auto sent = backend.requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].body, sent[0].body);
    EXPECT_EQ(sent[2].header("Authorization"), "Bearer test-token");
    EXPECT_EQ(tokens.calls, 1) << "one token per call";

    log.clear();
    backend.answerNext(Endpoint::transform, FakeAnswer::closed());
    EXPECT_EQ(transform().transformedText, "[fix] hello");
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "⚠️ [TransformService] Network error on attempt 1, retrying in "
                               "1.0s...",
                               "✅ [TransformService] Request succeeded after 1 retries"}));
}

TEST_F(TransformServiceTest, NothingIsSentWithoutASessionOrAUsableAddress) {
    StaticTokenProvider signedOut(std::nullopt);
    TransformService withoutSession(client, backend.baseURL(), 30.0, signedOut, recordWait);
    EXPECT_EQ(failure<AuthError>(withoutSession).kind(), AuthError::Kind::noSession);

    TransformService badAddress(client, "not a base address", 30.0, tokens, recordWait);
    EXPECT_EQ(failure<HTTPError>(badAddress), HTTPError::invalidURL());
    EXPECT_EQ(tokens.calls, 0);
    EXPECT_TRUE(backend.requests().empty());

    TransformService trailingSlash(client, backend.baseURL() + "/", 30.0, tokens, recordWait);
    EXPECT_EQ(failure<HTTPError>(trailingSlash).statusCode(), 404);
    EXPECT_EQ(backend.requests()[0].path, "//api/transform") << "the address is not normalised";
}

TEST_F(TransformServiceTest, ACancelledCallEndsAtOnceAndSendsNothingMore) {
    backend.setDelay(Endpoint::transform, 10s);
    auto [outcome, took] =
        cancelWhen(service, [&] { return backend.requestCount(Endpoint::transform) == 1; });
    EXPECT_TRUE(isCancellation(outcome));
    EXPECT_LT(took, 50ms);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(backend.requestCount(Endpoint::transform), 1u);
    EXPECT_TRUE(log.lines().empty()) << "a cancellation is not a network error";
}

TEST_F(TransformServiceTest, ACallCancelledWhileWaitingToRetryIsNotRetried) {
    TransformService waiting(client, backend.baseURL(), 30.0, tokens);
    backend.answerNext(Endpoint::transform, FakeAnswer::closed());
    auto [outcome, took] = cancelWhen(waiting, [&] { return !log.lines().empty(); });
    EXPECT_TRUE(isCancellation(outcome));
    EXPECT_LT(took, 50ms);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(backend.requestCount(Endpoint::transform), 1u);
}
