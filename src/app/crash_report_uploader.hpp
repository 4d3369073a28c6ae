#pragma once
// Sends the crash reports this machine keeps to the crash-reporting service. The report files are
// the queue: each is removed once the service has taken it or refused it for good, and kept for a
// later pass when the service cannot be reached. A report the service may have received without
// taking it is tried a few times at most, the count kept in its file name. Only plain files of
// ours are read: no link is followed. Passes run one at a time on the shared pool, never on the
// caller's thread; the queue keeps the newest reports only.

#include "app/crash_envelope.hpp"
#include "base/runtime.hpp"
#include "base/secret_scrubber.hpp"
#include "base/task.hpp"
#include "services/http_client.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>

namespace pennial {

class CrashReportUploader : public std::enable_shared_from_this<CrashReportUploader> {
public:
    struct Options {
        std::size_t maxReports = 50;              // older ones are removed unsent
        std::uintmax_t maxReportBytes = 1 << 20;  // larger files are removed unsent
        std::chrono::milliseconds timeout{5'000}; // per report
        // Tries that reached the service (or may have) before a report is given up: a slow
        // service can take a report and still miss the time-out.
        int maxAttempts = 3;
    };

    static std::shared_ptr<CrashReportUploader>
    create(std::filesystem::path folder, CrashDsn dsn, std::shared_ptr<HTTPClient> client,
           std::shared_ptr<const SecretScrubber> scrubber, CrashOsContext os, Options options);
    static std::shared_ptr<CrashReportUploader>
    create(std::filesystem::path folder, CrashDsn dsn, std::shared_ptr<HTTPClient> client,
           std::shared_ptr<const SecretScrubber> scrubber, CrashOsContext os) {
        return create(std::move(folder), std::move(dsn), std::move(client), std::move(scrubber),
                      std::move(os), Options{});
    }

    // Starts a pass over the queue; asked during a pass, that pass goes round once more.
    void sendPending();
    // True once no pass is running or asked for.
    bool waitUntilIdle(std::chrono::milliseconds timeout);
    // Cancels the pass under way and starts no other: what it has not sent stays queued.
    void stop();

private:
    struct Token {};

public:
    CrashReportUploader(Token, std::filesystem::path folder, CrashDsn dsn,
                        std::shared_ptr<HTTPClient> client,
                        std::shared_ptr<const SecretScrubber> scrubber, CrashOsContext os,
                        Options options);

private:
    enum class Outcome { sent, dropped, unreachable };

    // A report file: the name its reporter gave it names its event; the tries so far follow it.
    struct Report {
        std::filesystem::path path;
        std::string givenName;
        int attempts = 0;
    };

    static Awaitable<void> runPasses(std::shared_ptr<CrashReportUploader> self);
    Awaitable<void> pass();
    Awaitable<Outcome> send(const Report& report);
    // Counts a try that may have reached the service; gives the report up after the last one.
    void countAttempt(const Report& report);
    // The reports to send, oldest first, after the queue's limits have been applied.
    std::vector<Report> queue();
    bool finishPass(bool cancelled); // false when another round was asked for

    Executor strand_;
    std::filesystem::path folder_;
    CrashDsn dsn_;
    std::shared_ptr<HTTPClient> client_;
    std::shared_ptr<const SecretScrubber> scrubber_;
    CrashOsContext os_;
    Options options_;

    std::mutex mutex_;
    std::condition_variable idle_;
    bool running_ = false;
    bool again_ = false;
    bool stopped_ = false;
    Task task_;
};

} // namespace pennial
