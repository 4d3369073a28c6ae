#include "app/crash_reporting.hpp"
#include "app/uploading_crash_reporter.hpp"
#include "base/log.hpp"
#include "platform/linux/crash/local_crash_reporter.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_backend.hpp"
#include "support/fake_ingestion.hpp"
#include "support/test_seed.hpp"
#include "temp_folder.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace pennial;
using namespace pennial::testing;

namespace {

constexpr const char* publicKey = "0123456789abcdef0123456789abcdef";

std::size_t reportCount(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.path().filename().string().starts_with(".") ? 0 : 1;
    return count;
}

constexpr CrashReportUploader::Options testOptions{
    .maxReports = 50, .maxReportBytes = 1 << 20, .timeout = std::chrono::milliseconds(2'000)};

std::shared_ptr<CrashReportUploader>
uploaderFor(const std::filesystem::path& folder, const std::string& dsn,
            CrashReportUploader::Options options = testOptions,
            std::shared_ptr<SecretScrubber> scrubber = std::make_shared<SecretScrubber>()) {
    return CrashReportUploader::create(folder, CrashDsn::parse(dsn).value(),
                                       std::make_shared<CurlHttpClient>(), scrubber,
                                       {"Debian GNU/Linux", "12", "6.1.0-test", "x86_64"}, options);
}

// One pass of a run that starts with reports left by earlier ones.
bool sendOnce(CrashReportUploader& uploader) {
    uploader.sendPending();
    return uploader.waitUntilIdle(std::chrono::seconds(10));
}

// An error report as the local reporter writes it.
std::string errorReport(const std::string& value) {
    return json::dump(Json{{"level", "error"}, {"exception", {{"type", "E"}, {"value", value}}}});
}

// One run of the program: its local reporter over the shared folder, sending to the address.
struct ProgramRun {
    ProgramRun(const std::filesystem::path& folder, const std::string& dsn,
               CrashReportUploader::Options options = testOptions,
               std::shared_ptr<SecretScrubber> scrubber = std::make_shared<SecretScrubber>())
        : local(std::make_shared<LocalCrashReporter>(folder, scrubber)),
          uploader(uploaderFor(folder, dsn, options, scrubber)),
          reporter(std::make_unique<UploadingCrashReporter>(local, uploader)) {
        reporter->start(crashReportingOptions(dsn));
    }
    bool settle() { return uploader->waitUntilIdle(std::chrono::seconds(10)); }

    std::shared_ptr<LocalCrashReporter> local;
    std::shared_ptr<CrashReportUploader> uploader;
    std::unique_ptr<UploadingCrashReporter> reporter; // reset: the run ends
};

std::string dsnFor(const FakeBackend& backend) {
    return fmt::format("http://{}@127.0.0.1:{}/4507", publicKey, backend.port());
}

// The events the backend has received, in order.
std::vector<Json> eventsAt(const FakeBackend& backend) {
    std::vector<Json> found;
    for (const auto& request : backend.requests(Endpoint::crashEnvelope))
        found.push_back(parseCrashEnvelope(request.body)[2]);
    return found;
}

class CrashReportUpload : public ::testing::Test {
protected:
    std::string dsn() const { return dsnFor(backend); }
    std::vector<Json> events() const { return eventsAt(backend); }

    TempFolder folder;
    FakeBackend backend;
    LogCapture log;
};

} // namespace

TEST(CrashDsn, AddressesTheServicesEnvelopeEndpointWithItsKey) {
    auto dsn = CrashDsn::parse("https://abc123@o1.ingest.example.test:8443/sub/4507").value();
    EXPECT_EQ(dsn.envelopeURL(), "https://o1.ingest.example.test:8443/sub/api/4507/envelope/");
    EXPECT_EQ(dsn.authHeader(),
              "Sentry sentry_version=7, sentry_client=pennial.linux/0.5.35, sentry_key=abc123");
    for (auto bad : {"", "ingest.example.test/1", "https://ingest.example.test/1",
                     "ftp://k@ingest.example.test/1", "https://k@ingest.example.test/",
                     "https://k@/1", "https://k@host/1?x=2"})
        EXPECT_FALSE(CrashDsn::parse(bad)) << bad;
}

TEST_F(CrashReportUpload, ACapturedErrorArrivesAsAWellFormedEnvelopeAndLeavesTheQueue) {
    ProgramRun run(folder.path(), dsn());
    run.reporter->addBreadcrumb({BreadcrumbLevel::info, "start", "App startup began"});
    run.reporter->captureError(
        std::make_exception_ptr(std::invalid_argument("config.json is bad")));
    ASSERT_TRUE(backend.waitForRequests(Endpoint::crashEnvelope, 1, std::chrono::seconds(10)));
    ASSERT_TRUE(run.settle());

    auto request = backend.requests(Endpoint::crashEnvelope).at(0);
    EXPECT_EQ(request.path, "/api/4507/envelope/");
    EXPECT_EQ(request.header("Content-Type"), "application/x-sentry-envelope");
    EXPECT_EQ(request.header("X-Sentry-Auth"),
              "Sentry sentry_version=7, sentry_client=pennial.linux/0.5.35, sentry_key=" +
                  std::string(publicKey));
    auto documents = parseCrashEnvelope(request.body);
    EXPECT_EQ(documents[0]["dsn"], dsn());
    auto& event = documents[2];
    EXPECT_EQ(event["event_id"].get<std::string>().size(), 32u);
    EXPECT_EQ(event["level"], "error");
    EXPECT_EQ(event["platform"], "native");
    EXPECT_EQ(event["release"], "com.pennial.macos@0.5.35");
    EXPECT_EQ(event["environment"], "production");
    EXPECT_EQ(event["exception"]["values"][0]["type"], "std::invalid_argument");
    EXPECT_EQ(event["exception"]["values"][0]["value"], "config.json is bad");
    EXPECT_EQ(event["exception"]["values"][0]["mechanism"]["handled"], true);
    EXPECT_EQ(event["breadcrumbs"]["values"][0]["message"], "App startup began");
    EXPECT_EQ(event["breadcrumbs"]["values"][0]["category"], "start");
    EXPECT_EQ(event["contexts"]["os"]["name"], "Debian GNU/Linux");
    EXPECT_EQ(event["contexts"]["os"]["kernel_version"], "6.1.0-test");
    EXPECT_EQ(reportCount(folder.path()), 0u) << "the service has it: the file goes";
    EXPECT_TRUE(log.contains("✅ [CrashReporter] Sent 1 crash report"));
}

// Death tests run first, before other tests have started threads: the crashing child is forked.
TEST(CrashReportUploadDeathTest, ACrashIsSentAtTheNextStartAndThenRemoved) {
    GTEST_FLAG_SET(death_test_style, "fast");
    TempFolder folder;
    EXPECT_DEATH(
        {
            LocalCrashReporter crashing(folder.path());
            crashing.start(crashReportingOptions("http://key@127.0.0.1:9/1"));
            crashing.addBreadcrumb({BreadcrumbLevel::info, "start", "Startup complete"});
            std::abort();
        },
        "");
    ASSERT_EQ(reportCount(folder.path()), 1u);

    FakeBackend backend;
    ProgramRun next(folder.path(), dsnFor(backend));
    ASSERT_TRUE(backend.waitForRequests(Endpoint::crashEnvelope, 1, std::chrono::seconds(10)));
    ASSERT_TRUE(next.settle());
    auto sent = eventsAt(backend);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["level"], "fatal");
    EXPECT_EQ(sent[0]["exception"]["values"][0]["type"], "SIGABRT");
    EXPECT_EQ(sent[0]["exception"]["values"][0]["mechanism"]["type"], "signalhandler");
    EXPECT_EQ(sent[0]["exception"]["values"][0]["mechanism"]["handled"], false);
    EXPECT_EQ(sent[0]["breadcrumbs"]["values"][0]["message"], "Startup complete");
    EXPECT_EQ(reportCount(folder.path()), 0u);
}

TEST_F(CrashReportUpload, AnUnreachableOrFailingServiceKeepsTheReportForALaterStart) {
    std::string unreachable;
    {
        FakeBackend gone;
        unreachable = dsnFor(gone);
    }
    {
        ProgramRun offline(folder.path(), unreachable);
        offline.reporter->captureError(std::make_exception_ptr(std::runtime_error("first")));
        ASSERT_TRUE(offline.settle());
    }
    EXPECT_EQ(reportCount(folder.path()), 1u);
    EXPECT_FALSE(log.matching("it is kept for a later try").empty());

    backend.answerNext(Endpoint::crashEnvelope, FakeAnswer::json(503, {{"detail", "busy"}}));
    {
        ProgramRun busy(folder.path(), dsn());
        ASSERT_TRUE(busy.settle());
    }
    EXPECT_EQ(backend.requestCount(Endpoint::crashEnvelope), 1u);
    EXPECT_EQ(reportCount(folder.path()), 1u);

    // The run ends while the service is slow to answer: it does not wait, the report stays.
    backend.setDelay(Endpoint::crashEnvelope, std::chrono::seconds(5));
    {
        ProgramRun ending(folder.path(), dsn());
        ASSERT_TRUE(backend.waitForRequests(Endpoint::crashEnvelope, 2, std::chrono::seconds(10)));
        auto before = std::chrono::steady_clock::now();
        ending.reporter.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    }
    EXPECT_EQ(reportCount(folder.path()), 1u);
    backend.clearAnswers(Endpoint::crashEnvelope);

    ProgramRun later(folder.path(), dsn());
    ASSERT_TRUE(later.settle());
    auto sent = events();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0]["event_id"], sent[2]["event_id"]) << "a report keeps its id when resent";
    EXPECT_EQ(sent[2]["exception"]["values"][0]["value"], "first");
    EXPECT_EQ(reportCount(folder.path()), 0u);
}

TEST_F(CrashReportUpload, TheQueueSendsTheNewestFiftyAndDropsWhatItCannotSend) {
    std::filesystem::create_directories(folder.path());
    auto written = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    auto report = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder / name) << text;
        std::filesystem::last_write_time(folder / name, written += std::chrono::seconds(1));
    };
    for (int i = 0; i < 55; ++i)
        report(fmt::format("error-{}.json", 100 + i), errorReport(std::to_string(i)));
    report("fatal-cut.json", "{\"level\":\"fatal\",\"breadcru");
    report("error-huge.json", std::string((1 << 20) + 1, ' '));
    report("notes.txt", "not a report");

    ProgramRun run(folder.path(), dsn());
    ASSERT_TRUE(run.settle());
    auto sent = events();
    ASSERT_EQ(sent.size(), 49u) << "of the newest fifty, one cannot be read";
    EXPECT_EQ(sent.front()["exception"]["values"][0]["value"], "6");
    EXPECT_EQ(sent.back()["exception"]["values"][0]["value"], "54");
    EXPECT_EQ(reportCount(folder.path()), 1u) << "only the file that is no report stays";
}

// Errors are captured from two threads while the service answers at random (taken, refused,
// connection closed, slow) and runs end at random moments. Oracle: every captured error is taken
// by the service in the end (a repeat is allowed, a loss is not), and the queue is left empty.
// The bound on tries is set beyond reach: what gives a report up is tested apart.
TEST_F(CrashReportUpload, NoCapturedErrorIsLostWhateverTheServiceAndTheRunsDo) {
    auto seed = pennial::testing::testSeed();
    SCOPED_TRACE(pennial::testing::seedTrace(seed));
    std::mutex mutex;
    std::mt19937 random(seed);
    std::set<std::string> taken;
    auto draw = [&](int below) {
        std::lock_guard lock(mutex);
        return static_cast<int>(random() % below);
    };
    backend.setDefaultHandler(Endpoint::crashEnvelope, [&](const RecordedRequest& request) {
        switch (draw(4)) {
        case 0:
            return FakeAnswer::json(503, {{"detail", "busy"}});
        case 1:
            return FakeAnswer::closed();
        default:
            auto answer = crashEnvelopeAnswer(request);
            if (answer.status == 200) {
                std::lock_guard lock(mutex);
                taken.insert(
                    parseCrashEnvelope(request.body)[2]["exception"]["values"][0]["value"]);
            }
            return std::move(answer).after(std::chrono::milliseconds(draw(8)));
        }
    });

    std::set<std::string> captured;
    // 48 reports in all: the queue's bound of 50 never drops one.
    auto patient = testOptions;
    patient.maxAttempts = 1000;
    for (int run = 0; run < 3; ++run) {
        ProgramRun program(folder.path(), dsn(), patient);
        std::vector<std::thread> threads;
        for (int thread = 0; thread < 2; ++thread)
            threads.emplace_back([&, thread] {
                for (int i = 0; i < 8; ++i) {
                    auto name = fmt::format("report {}-{}-{}", run, thread, i);
                    program.reporter->captureError(
                        std::make_exception_ptr(std::runtime_error(name)));
                    std::this_thread::sleep_for(std::chrono::microseconds(draw(3000)));
                }
            });
        for (auto& thread : threads)
            thread.join();
        for (int thread = 0; thread < 2; ++thread)
            for (int i = 0; i < 8; ++i)
                captured.insert(fmt::format("report {}-{}-{}", run, thread, i));
        std::this_thread::sleep_for(std::chrono::milliseconds(draw(20)));
        program.reporter.reset();
    }
    backend.setDefaultHandler(Endpoint::crashEnvelope, [&](const RecordedRequest& request) {
        std::lock_guard lock(mutex);
        taken.insert(parseCrashEnvelope(request.body)[2]["exception"]["values"][0]["value"]);
        return crashEnvelopeAnswer(request);
    });
    ProgramRun last(folder.path(), dsn(), patient);
    ASSERT_TRUE(last.settle());
    std::lock_guard lock(mutex);
    std::vector<std::string> lost;
    std::set_difference(captured.begin(), captured.end(), taken.begin(), taken.end(),
                        std::back_inserter(lost));
    EXPECT_TRUE(lost.empty()) << lost.size() << " lost, the first " << lost.front();
    EXPECT_TRUE(log.matching("unsent").empty());
    EXPECT_EQ(reportCount(folder.path()), 0u);
}

// Whoever can put entries into the queue must not make it send other files: a link to a report
// outside is not followed, a second name of an outside file is not read, nor a file of another
// user. A FIFO and a 2 GB sparse file hold no pass up; what is not ours stays where it is.
TEST_F(CrashReportUpload, OnlyPlainFilesOfOursInTheQueueAreRead) {
    TempFolder outside;
    auto queue = folder / "crash-reports";
    std::filesystem::create_directories(queue);
    const auto linked = errorReport("outside, linked"), named = errorReport("outside, named");
    std::ofstream(outside / "notes.json") << linked;
    std::ofstream(outside / "other.json") << named;
    std::ofstream(queue / "error-1-ours.json") << errorReport("ours");
    std::filesystem::create_symlink(outside / "notes.json", queue / "error-2-link.json");
    std::filesystem::create_symlink(outside / "notes.json", queue / "fatal-3-link.tried-1.json");
    std::filesystem::create_hard_link(outside / "other.json", queue / "error-4-second-name.json");
    ASSERT_EQ(::mkfifo((queue / "error-5-fifo.json").c_str(), 0600), 0);
    std::ofstream(queue / "error-6-sparse.json").close();
    std::filesystem::resize_file(queue / "error-6-sparse.json", std::uintmax_t(2) << 30);
    if (::geteuid() == 0) {
        std::ofstream(queue / "error-7-foreign.json") << errorReport("another user's");
        ASSERT_EQ(::chown((queue / "error-7-foreign.json").c_str(), 65534, 65534), 0);
    }

    auto uploader = uploaderFor(queue, dsn());
    ASSERT_TRUE(sendOnce(*uploader));
    auto sent = events();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["exception"]["values"][0]["value"], "ours");
    EXPECT_EQ(readFile(outside / "notes.json"), linked);
    EXPECT_EQ(readFile(outside / "other.json"), named);
    EXPECT_TRUE(std::filesystem::is_symlink(queue / "error-2-link.json"));
    EXPECT_FALSE(std::filesystem::exists(queue / "error-6-sparse.json"));
    EXPECT_FALSE(log.matching("Skipped 3 links or special files").empty());
    EXPECT_FALSE(log.matching("error-4-second-name.json: not a plain file of ours").empty());
}

// A refusal for good (413: too large) drops the report at once and the pass goes on. A service
// that takes each report but answers after the client's time-out receives it a bounded number of
// times, under one event id, however many runs follow; then it is given up with a log line.
TEST_F(CrashReportUpload, ARefusedReportIsDroppedAndNoneIsSentWithoutEnd) {
    std::filesystem::create_directories(folder.path());
    auto written = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    auto report = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder / name) << text;
        std::filesystem::last_write_time(folder / name, written += std::chrono::seconds(1));
    };
    report("error-1-large.json", errorReport(std::string(64 * 1024, 'x')));
    report("error-2-next.json", errorReport("next"));
    backend.answerNext(Endpoint::crashEnvelope,
                       FakeAnswer::json(413, {{"detail", "envelope exceeded size limits"}}));
    for (int run = 0; run < 2; ++run)
        ASSERT_TRUE(sendOnce(*uploaderFor(folder.path(), dsn())));
    auto sent = events();
    ASSERT_EQ(sent.size(), 2u) << "the refused report is not sent again";
    EXPECT_EQ(sent[1]["exception"]["values"][0]["value"], "next");
    EXPECT_EQ(reportCount(folder.path()), 0u);
    EXPECT_EQ(log.matching("error-1-large.json: the service refused it").size(), 1u);

    // A fatal report carries no id of its own: its name gives it one.
    report("fatal-1700000000-4242.json",
           R"({"level":"fatal","timestamp":1700000000,"signal":{"number":11,"name":"SIGSEGV"}})");
    backend.setDelay(Endpoint::crashEnvelope, std::chrono::seconds(1));
    auto impatient = testOptions;
    impatient.timeout = std::chrono::milliseconds(150);
    for (int run = 0; run < 6; ++run)
        ASSERT_TRUE(sendOnce(*uploaderFor(folder.path(), dsn(), impatient)));
    sent = events();
    ASSERT_EQ(sent.size(), 2u + static_cast<std::size_t>(impatient.maxAttempts));
    for (std::size_t i = 3; i < sent.size(); ++i)
        EXPECT_EQ(sent[i]["event_id"], sent[2]["event_id"]);
    EXPECT_EQ(reportCount(folder.path()), 0u);
    EXPECT_EQ(log.matching("fatal-1700000000-4242.tried-2.json: not taken after").size(), 1u);
}

// An error message quotes what the program knows to be secret in the forms servers and libraries
// use: none of them reaches the service.
TEST_F(CrashReportUpload, SecretsQuotedInOtherEncodingsDoNotReachTheService) {
    auto scrubber = std::make_shared<SecretScrubber>();
    const std::string email = "grace.hopper@navy.example.museum";
    const std::string text = "Dear \"Bob\", the vault code is on the photo\nBring the ledger über "
                             "the bridge at nine";
    scrubber->rememberSecretsIn(json::dump(Json{{"email", email}, {"text", text}}));
    const std::vector<std::string> forms = {
        "grace.hopper%40navy.example.museum",
        R"(Dear \"Bob\", the vault code is on the photo\nBring the ledger über the bridge at nine)",
        R"(Dear \u0022Bob\u0022, the vault code is on the photo\nBring the ledger \u00fcber the bridge at nine)",
        "Bring the ledger über the bridge at nine",
        "ada@example.de",
    };
    std::string message = "Request failed:";
    for (const auto& form : forms)
        message += "\n" + form;

    ProgramRun run(folder.path(), dsn(), testOptions, scrubber);
    run.reporter->captureError(std::make_exception_ptr(std::runtime_error(message)));
    ASSERT_TRUE(backend.waitForRequests(Endpoint::crashEnvelope, 1, std::chrono::seconds(10)));
    ASSERT_TRUE(run.settle());
    auto value = events().at(0)["exception"]["values"][0]["value"].get<std::string>();
    EXPECT_TRUE(value.starts_with("Request failed:")) << value;
    for (const auto& form : forms)
        EXPECT_EQ(value.find(form), std::string::npos) << form << " in " << value;
    EXPECT_EQ(value.find("the vault code"), std::string::npos) << value;
}
