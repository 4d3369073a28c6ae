#include "app/crash_report_uploader.hpp"

#include "base/log.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace pennial {
namespace {

// A report that has been tried is renamed "<given name without .json>.tried-<count>.json".
constexpr std::string_view triedMarker = ".tried-";
constexpr std::string_view reportExtension = ".json";

struct ParsedName {
    std::string givenName;
    int attempts = 0;
};

// The names the local reporter gives its reports; its temporary files start with a dot.
std::optional<ParsedName> parseReportName(std::string_view name) {
    if (!(name.starts_with("error-") || name.starts_with("fatal-")) ||
        !name.ends_with(reportExtension))
        return std::nullopt;
    auto stem = name.substr(0, name.size() - reportExtension.size());
    ParsedName parsed;
    if (auto marker = stem.rfind(triedMarker); marker != std::string_view::npos) {
        auto digits = stem.substr(marker + triedMarker.size());
        if (!digits.empty() && digits.size() <= 3 &&
            std::all_of(digits.begin(), digits.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            parsed.attempts = std::stoi(std::string(digits));
            stem = stem.substr(0, marker);
        }
    }
    parsed.givenName = std::string(stem) + std::string(reportExtension);
    return parsed;
}

std::string triedName(std::string_view givenName, int attempts) {
    auto stem = givenName.substr(0, givenName.size() - reportExtension.size());
    return fmt::format("{}{}{}{}", stem, triedMarker, attempts, reportExtension);
}

void removeReport(const std::filesystem::path& report) {
    std::error_code ignored;
    std::filesystem::remove(report, ignored);
}

struct ReadReport {
    enum class Status { read, gone, notPlain, tooLarge };
    Status status;
    std::string text;
};

// Reads the report without following a link, and only a regular file of ours with one name: a
// link or a second name could hand us any file on the machine, and its content would be sent.
ReadReport readReport(const std::filesystem::path& report, std::uintmax_t maxBytes) {
    using Status = ReadReport::Status;
    // Not blocking: a FIFO put there meanwhile must not hold the pass.
    int fd = ::open(report.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {errno == ENOENT ? Status::gone : Status::notPlain, {}};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        info.st_nlink != 1)
        return {Status::notPlain, {}};
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return {Status::tooLarge, {}};
    std::string text;
    char buffer[16 * 1024];
    for (;;) {
        auto count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return {Status::gone, {}};
        if (count == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > maxBytes) // grew while it was read
            return {Status::tooLarge, {}};
    }
    return {Status::read, std::move(text)};
}

bool isLasting(const HTTPError& error) {
    // The service refused this report; another report, or a later try, may still go through.
    auto status = error.statusCode();
    return error.kind() == HTTPError::Kind::httpError && status >= 400 && status < 500 &&
           status != 408 && status != 429;
}

// The connection could not be made (told by libcurl's words for it): the service has seen
// nothing of the report, which is what being offline looks like, and the try does not count.
bool neverReachedTheService(const HTTPError& error) {
    return error.kind() == HTTPError::Kind::invalidURL ||
           (error.kind() == HTTPError::Kind::networkError &&
            (error.underlying().starts_with("Couldn't connect") ||
             error.underlying().starts_with("Couldn't resolve")));
}

} // namespace

std::shared_ptr<CrashReportUploader> CrashReportUploader::create(
    std::filesystem::path folder, CrashDsn dsn, std::shared_ptr<HTTPClient> client,
    std::shared_ptr<const SecretScrubber> scrubber, CrashOsContext os, Options options) {
    return std::make_shared<CrashReportUploader>(Token{}, std::move(folder), std::move(dsn),
                                                 std::move(client), std::move(scrubber),
                                                 std::move(os), options);
}

CrashReportUploader::CrashReportUploader(Token, std::filesystem::path folder, CrashDsn dsn,
                                         std::shared_ptr<HTTPClient> client,
                                         std::shared_ptr<const SecretScrubber> scrubber,
                                         CrashOsContext os, Options options)
    : strand_(asio::make_strand(sharedPool().get_executor())), folder_(std::move(folder)),
      dsn_(std::move(dsn)), client_(std::move(client)), scrubber_(std::move(scrubber)),
      os_(std::move(os)), options_(options) {}

void CrashReportUploader::sendPending() {
    std::lock_guard lock(mutex_);
    if (stopped_)
        return;
    if (running_) {
        again_ = true;
        return;
    }
    running_ = true;
    task_ = Task::spawn(strand_, runPasses(shared_from_this()));
}

void CrashReportUploader::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    again_ = false;
    task_.cancel();
}

bool CrashReportUploader::waitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [&] { return !running_; });
}

bool CrashReportUploader::finishPass(bool cancelled) {
    std::lock_guard lock(mutex_);
    if (!cancelled && !stopped_ && std::exchange(again_, false))
        return false;
    running_ = false;
    again_ = false;
    idle_.notify_all();
    return true;
}

Awaitable<void> CrashReportUploader::runPasses(std::shared_ptr<CrashReportUploader> self) {
    bool cancelled = false;
    do {
        try {
            co_await self->pass();
        } catch (const std::exception& e) {
            cancelled = isCancellation(std::current_exception());
            if (!cancelled)
                logf("⚠️ [CrashReporter] Crash reports could not be sent: {}", e.what());
        }
    } while (!self->finishPass(cancelled));
}

std::vector<CrashReportUploader::Report> CrashReportUploader::queue() {
    struct Entry {
        std::filesystem::file_time_type written;
        Report report;
    };
    std::vector<Entry> entries;
    std::size_t notPlain = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        auto name = parseReportName(entry.path().filename().string());
        if (!name)
            continue;
        std::error_code ignored;
        // The entry itself, never what a link points to.
        auto status = entry.symlink_status(ignored);
        if (status.type() != std::filesystem::file_type::regular) {
            ++notPlain;
            continue;
        }
        if (entry.file_size(ignored) > options_.maxReportBytes) {
            logf("⚠️ [CrashReporter] Removed crash report {}: larger than {} bytes",
                 entry.path().filename().string(), options_.maxReportBytes);
            removeReport(entry.path());
            continue;
        }
        entries.push_back(
            {entry.last_write_time(ignored), {entry.path(), name->givenName, name->attempts}});
    }
    if (notPlain > 0)
        logf("⚠️ [CrashReporter] Skipped {} links or special files in the crash-report queue",
             notPlain);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.written != b.written ? a.written < b.written : a.report.path < b.report.path;
    });
    if (entries.size() > options_.maxReports) {
        auto excess = entries.size() - options_.maxReports;
        logf("⚠️ [CrashReporter] Removed the {} oldest crash reports unsent", excess);
        for (std::size_t i = 0; i < excess; ++i)
            removeReport(entries[i].report.path);
        entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(excess));
    }
    std::vector<Report> reports;
    for (auto& entry : entries)
        reports.push_back(std::move(entry.report));
    return reports;
}

Awaitable<void> CrashReportUploader::pass() {
    int sent = 0;
    for (const auto& report : queue()) {
        co_await throwIfCancelled();
        auto outcome = co_await send(report);
        if (outcome == Outcome::sent)
            ++sent;
        if (outcome == Outcome::unreachable)
            break;
    }
    if (sent > 0)
        logf("✅ [CrashReporter] Sent {} crash report{}", sent, sent == 1 ? "" : "s");
}

void CrashReportUploader::countAttempt(const Report& report) {
    auto name = report.path.filename().string();
    auto attempts = report.attempts + 1;
    if (attempts >= options_.maxAttempts) {
        logf("⚠️ [CrashReporter] Removed crash report {}: not taken after {} tries", name,
             attempts);
        removeReport(report.path);
        return;
    }
    std::error_code error;
    std::filesystem::rename(report.path, folder_ / triedName(report.givenName, attempts), error);
    if (error)
        logf("⚠️ [CrashReporter] Could not count a try of crash report {}: {}", name,
             error.message());
}

Awaitable<CrashReportUploader::Outcome> CrashReportUploader::send(const Report& report) {
    auto name = report.path.filename().string();
    if (report.attempts >= options_.maxAttempts) {
        logf("⚠️ [CrashReporter] Removed crash report {}: not taken after {} tries", name,
             report.attempts);
        removeReport(report.path);
        co_return Outcome::dropped;
    }
    auto read = readReport(report.path, options_.maxReportBytes);
    switch (read.status) {
    case ReadReport::Status::read:
        break;
    case ReadReport::Status::gone:
        co_return Outcome::dropped;
    case ReadReport::Status::notPlain:
        logf("⚠️ [CrashReporter] Skipped crash report {}: not a plain file of ours", name);
        co_return Outcome::dropped;
    case ReadReport::Status::tooLarge:
        logf("⚠️ [CrashReporter] Removed crash report {}: larger than {} bytes", name,
             options_.maxReportBytes);
        removeReport(report.path);
        co_return Outcome::dropped;
    }
    HTTPRequest request;
    try {
        auto event = crashEvent(json::parse(read.text), *scrubber_, os_, report.givenName);
        request.body = crashEnvelope(event, dsn_, std::chrono::system_clock::now());
    } catch (const std::exception&) {
        // Cut short by a crash while it was written: it can never be sent.
        logf("⚠️ [CrashReporter] Removed crash report {}: it is not readable", name);
        removeReport(report.path);
        co_return Outcome::dropped;
    }
    request.url = dsn_.envelopeURL();
    request.method = "POST";
    request.setHeader("Content-Type", "application/x-sentry-envelope");
    request.setHeader("X-Sentry-Auth", dsn_.authHeader());
    request.timeout = options_.timeout;
    std::optional<HTTPError> failure;
    try {
        co_await client_->execute(std::move(request));
    } catch (const HTTPError& error) {
        failure = error;
    } catch (...) {
        // Ended while the report was on its way: the service may have it.
        if (isCancellation(std::current_exception()))
            countAttempt(report);
        throw;
    }
    if (!failure) {
        removeReport(report.path);
        co_return Outcome::sent;
    }
    if (isLasting(*failure)) {
        logf("⚠️ [CrashReporter] Removed crash report {}: the service refused it ({})", name,
             failure->what());
        removeReport(report.path);
        co_return Outcome::dropped;
    }
    logf("⚠️ [CrashReporter] Crash report {} was not sent ({}); it is kept for a later try",
         name, failure->what());
    if (!neverReachedTheService(*failure))
        countAttempt(report);
    co_return Outcome::unreachable;
}

} // namespace pennial
