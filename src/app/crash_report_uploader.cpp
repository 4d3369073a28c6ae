#include "app/crash_report_uploader.hpp"

#include "base/log.hpp"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace pennial {
namespace {

// The names the local reporter gives its reports; its temporary files start with a dot.
bool isReportFile(const std::filesystem::directory_entry& entry) {
    auto name = entry.path().filename().string();
    return entry.is_regular_file() && (name.starts_with("error-") || name.starts_with("fatal-")) &&
           name.ends_with(".json");
}

void removeReport(const std::filesystem::path& report) {
    std::error_code ignored;
    std::filesystem::remove(report, ignored);
}

std::optional<std::string> readReport(const std::filesystem::path& report) {
    std::ifstream in(report, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool isLasting(const HTTPError& error) {
    // The service refused this report; another report, or a later try, may still go through.
    auto status = error.statusCode();
    return error.kind() == HTTPError::Kind::httpError && status >= 400 && status < 500 &&
           status != 408 && status != 429;
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

std::vector<std::filesystem::path> CrashReportUploader::queue() {
    struct Entry {
        std::filesystem::file_time_type written;
        std::filesystem::path path;
    };
    std::vector<Entry> entries;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        if (!isReportFile(entry))
            continue;
        std::error_code ignored;
        if (entry.file_size(ignored) > options_.maxReportBytes) {
            logf("⚠️ [CrashReporter] Removed crash report {}: larger than {} bytes",
                 entry.path().filename().string(), options_.maxReportBytes);
            removeReport(entry.path());
            continue;
        }
        entries.push_back({entry.last_write_time(ignored), entry.path()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.written != b.written ? a.written < b.written : a.path < b.path;
    });
    if (entries.size() > options_.maxReports) {
        auto excess = entries.size() - options_.maxReports;
        logf("⚠️ [CrashReporter] Removed the {} oldest crash reports unsent", excess);
        for (std::size_t i = 0; i < excess; ++i)
            removeReport(entries[i].path);
        entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(excess));
    }
    std::vector<std::filesystem::path> paths;
    for (auto& entry : entries)
        paths.push_back(std::move(entry.path));
    return paths;
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

Awaitable<CrashReportUploader::Outcome>
CrashReportUploader::send(const std::filesystem::path& report) {
    auto name = report.filename().string();
    auto text = readReport(report);
    if (!text)
        co_return Outcome::refused; // gone meanwhile
    HTTPRequest request;
    try {
        auto event = crashEvent(json::parse(*text), *scrubber_, os_, name);
        request.body = crashEnvelope(event, dsn_, std::chrono::system_clock::now());
    } catch (const std::exception&) {
        // Cut short by a crash while it was written: it can never be sent.
        logf("⚠️ [CrashReporter] Removed crash report {}: it is not readable", name);
        removeReport(report);
        co_return Outcome::refused;
    }
    request.url = dsn_.envelopeURL();
    request.method = "POST";
    request.setHeader("Content-Type", "application/x-sentry-envelope");
    request.setHeader("X-Sentry-Auth", dsn_.authHeader());
    request.timeout = options_.timeout;
    try {
        co_await client_->execute(std::move(request));
    } catch (const HTTPError& error) {
        logf("⚠️ [CrashReporter] Crash report {} was not sent ({}); it is kept for a later try",
             name, error.what());
        co_return isLasting(error) ? Outcome::refused : Outcome::unreachable;
    }
    removeReport(report);
    co_return Outcome::sent;
}

} // namespace pennial
