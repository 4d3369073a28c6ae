#include "base/json.hpp"
#include "base/task.hpp"
#include "run_awaitable.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_backend.hpp"

#include <asio/io_context.hpp>
#include <gtest/gtest.h>
#include <thread>

using namespace pennial;
using namespace pennial::testing;
using namespace std::chrono_literals;

namespace {

class CurlHttpClientTest : public ::testing::Test {
protected:
    HTTPRequest post(std::string path, std::string body = "{}") {
        HTTPRequest request;
        request.url = backend.baseURL() + path;
        request.method = "POST";
        request.body = std::move(body);
        return request;
    }

    std::string send(HTTPRequest request) { return runAwaitable(client.execute(request)); }

    HTTPError failure(HTTPRequest request) {
        try {
            send(std::move(request));
        } catch (const HTTPError& error) {
            return error;
        }
        ADD_FAILURE() << "the request succeeded";
        return HTTPError::invalidURL();
    }

    FakeBackend backend;
    CurlHttpClient client;
};

} // namespace

TEST_F(CurlHttpClientTest, SendsTheRequestExactlyAsGiven) {
    backend.answerAlways(Endpoint::transform, FakeAnswer::empty());
    auto request = post("/api/transform", R"({"text":"héllo"})");
    request.url += "?a=1&b=two";
    request.headers = {{"Content-Type", "application/json"}, {"Authorization", "Bearer t"}};
    send(request);

    HTTPRequest get;
    get.url = backend.baseURL() + "/rest/v1/user_commands?user_id=eq.u1&select=name";
    get.setHeader("apikey", "key");
    get.setHeader("Authorization", "Bearer t");
    send(get);

    auto seen = backend.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].path, "/api/transform");
    EXPECT_EQ(seen[0].query, "a=1&b=two");
    EXPECT_EQ(seen[0].body, R"({"text":"héllo"})");
    EXPECT_EQ(seen[0].header("Content-Type"), "application/json");
    EXPECT_EQ(seen[0].header("Authorization"), "Bearer t");
    EXPECT_EQ(seen[0].header("Accept"), std::nullopt) << "no header of the client's own";
    EXPECT_EQ(seen[0].header("Expect"), std::nullopt);
    EXPECT_EQ(seen[1].method, "GET");
    EXPECT_EQ(seen[1].query, "user_id=eq.u1&select=name");
    EXPECT_EQ(seen[1].body, "");
    EXPECT_EQ(seen[1].header("Content-Type"), std::nullopt);
    EXPECT_EQ(seen[1].header("apikey"), "key");
}

TEST_F(CurlHttpClientTest, EveryStatusBelow300IsSuccessAndTheRestKeepTheirBody) {
    backend.answerNext(Endpoint::transform,
                       {FakeAnswer::text(299, "two-nine-nine"), FakeAnswer::empty(204),
                        FakeAnswer::text(400, "bad \x01\xff bytes"),
                        FakeAnswer::json(401, {{"error", "no"}}), FakeAnswer::empty(500)});
    EXPECT_EQ(send(post("/api/transform")), "two-nine-nine");
    EXPECT_EQ(send(post("/api/transform")), "");
    EXPECT_EQ(failure(post("/api/transform")),
              HTTPError::httpError(400, std::string("bad \x01\xff bytes")));
    EXPECT_EQ(failure(post("/api/transform")), HTTPError::httpError(401, R"({"error":"no"})"));
    EXPECT_EQ(failure(post("/api/transform")), HTTPError::httpError(500, std::string()));
}

TEST_F(CurlHttpClientTest, OnlyRedirectsThatKeepMethodBodyAndOriginAreFollowed) {
    // Servers often explain a redirect in a short page of its own: none of it is the answer.
    auto redirect = [](int status, std::string location, std::string page = {}) {
        auto answer = page.empty() ? FakeAnswer::empty(status)
                                   : FakeAnswer::text(status, std::move(page), "text/html");
        answer.headers.emplace_back("Location", std::move(location));
        return answer;
    };
    auto request = post("/api/transform");
    request.body = R"({"text":"kept"})";
    request.setHeader("Authorization", "Bearer t");
    backend.answerNext(Endpoint::transform,
                       {redirect(307, "/api/transform?hop=1", "<a href=\"?hop=1\">Moved</a>"),
                        redirect(308, "/api/transform?hop=2"),
                        FakeAnswer::json(200, {{"transformedText", "arrived"}})});
    EXPECT_EQ(json::parse(send(request)), Json({{"transformedText", "arrived"}}));
    auto seen = backend.requests(Endpoint::transform);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].method, "POST");
    EXPECT_EQ(seen[2].query, "hop=2");
    EXPECT_EQ(seen[2].body, R"({"text":"kept"})");
    EXPECT_EQ(seen[2].header("Authorization"), "Bearer t");

    // A redirect that would lose the body, leave the host, or never end stores nothing.
    backend.answerNext(Endpoint::transform, {redirect(308, "/api/transform?hop=1", "Moved."),
                                             redirect(302, "/api/transform", "Found.")});
    EXPECT_EQ(failure(request), HTTPError::httpError(302, std::string("Found.")));
    backend.answerNext(
        Endpoint::transform,
        redirect(307, "http://localhost:" + std::to_string(backend.port()) + "/api/transform"));
    EXPECT_EQ(failure(request).statusCode(), 307);
    backend.answerAlways(Endpoint::transform, redirect(307, "/api/transform"));
    backend.clearRequests();
    EXPECT_EQ(failure(request).statusCode(), 307);
    EXPECT_EQ(backend.requestCount(Endpoint::transform), 4u) << "three redirects followed at most";
}

TEST_F(CurlHttpClientTest, TimeOutsAreTheirOwnFailure) {
    backend.setDelay(Endpoint::transform, 5s);
    auto request = post("/api/transform");
    request.timeout = 100ms;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(failure(request), HTTPError::timeout());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);

    CurlHttpClient session({.resourceTimeout = 100ms});
    auto longRequest = post("/api/transform");
    longRequest.timeout = 60s;
    start = std::chrono::steady_clock::now();
    try {
        runAwaitable(session.execute(longRequest));
        ADD_FAILURE() << "the session's resource time-out did not end the request";
    } catch (const HTTPError& error) {
        EXPECT_EQ(error, HTTPError::timeout());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(CurlHttpClientTest, TransportFailuresAreNetworkErrors) {
    backend.answerNext(Endpoint::transform, FakeAnswer::closed());
    EXPECT_EQ(failure(post("/api/transform")).kind(), HTTPError::Kind::networkError);

    HTTPRequest refused;
    {
        FakeBackend gone;
        refused.url = gone.baseURL() + "/api/transform";
    }
    EXPECT_EQ(failure(refused).kind(), HTTPError::Kind::networkError);
}

TEST_F(CurlHttpClientTest, RefusesWhatIsNotAnHttpAnswer) {
    HTTPRequest file;
    file.url = "file:///etc/hostname";
    EXPECT_EQ(failure(file), HTTPError::invalidResponse());

    CurlHttpClient small({.maxResponseBytes = 1000});
    backend.answerNext(Endpoint::transform, FakeAnswer::oversized(5000));
    try {
        runAwaitable(small.execute(post("/api/transform")));
        ADD_FAILURE() << "an oversized answer was accepted";
    } catch (const HTTPError& error) {
        EXPECT_EQ(error, HTTPError::invalidResponse());
    }
}

TEST_F(CurlHttpClientTest, CancellationEndsTheTransferAtOnceAndIsNotAFailure) {
    backend.setDelay(Endpoint::transform, 10s);
    asio::io_context io;
    std::exception_ptr outcome;
    std::chrono::steady_clock::time_point cancelledAt, endedAt;
    auto request = post("/api/transform");
    auto send = [&]() -> Awaitable<void> { co_await client.execute(request); };
    auto task = Task::spawn(io.get_executor(), send(), [&](std::exception_ptr error) {
        endedAt = std::chrono::steady_clock::now();
        outcome = error;
    });
    auto cancelOnArrival = [&]() -> Awaitable<void> {
        while (backend.requestCount(Endpoint::transform) == 0)
            co_await sleepFor(1ms);
        cancelledAt = std::chrono::steady_clock::now();
        task.cancel();
    };
    Task::spawn(io.get_executor(), cancelOnArrival());
    io.run();

    EXPECT_TRUE(isCancellation(outcome));
    EXPECT_LT(endedAt - cancelledAt, 50ms);
    EXPECT_EQ(backend.requestCount(Endpoint::transform), 1u);
}

TEST_F(CurlHttpClientTest, RequestsRunSideBySideAndResumeOnTheCallersExecutor) {
    backend.answerAlways(Endpoint::transform, FakeAnswer::empty().after(200ms));
    asio::io_context io;
    auto caller = std::this_thread::get_id();
    int done = 0;
    auto request = post("/api/transform");
    auto send = [&]() -> Awaitable<void> {
        co_await client.execute(request);
        EXPECT_EQ(std::this_thread::get_id(), caller);
        ++done;
    };
    for (int i = 0; i < 8; ++i)
        Task::spawn(io.get_executor(), send());
    auto start = std::chrono::steady_clock::now();
    io.run();
    EXPECT_EQ(done, 8);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}
