#pragma once
// Crash reporting kept on this machine: a ring of the last breadcrumbs, a JSON report file for
// every captured error, and a last report written by the terminate handler and the fatal-signal
// handlers (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT) before the process ends. Reports go to
// $XDG_STATE_HOME/pennial/crash-reports/.

#include "base/secret_scrubber.hpp"
#include "platform/crash_reporter.hpp"

#include <filesystem>
#include <memory>
#include <mutex>

namespace pennial {

class LocalCrashReporter final : public CrashReporter {
public:
    static constexpr std::size_t maxBreadcrumbs = 100;

    // Every string a report takes from the program (breadcrumbs, an error's type and message) is
    // scrubbed first.
    explicit LocalCrashReporter(
        std::filesystem::path reportsFolder = defaultReportsFolder(),
        std::shared_ptr<const SecretScrubber> scrubber = std::make_shared<SecretScrubber>());
    ~LocalCrashReporter() override;
    LocalCrashReporter(const LocalCrashReporter&) = delete;
    LocalCrashReporter& operator=(const LocalCrashReporter&) = delete;

    static std::filesystem::path defaultReportsFolder();

    // Installs the process-wide handlers; one started reporter owns them at a time.
    void start(const CrashReporterOptions& options) override;
    bool isStarted() const override;
    void addBreadcrumb(Breadcrumb breadcrumb) override;
    void captureError(std::exception_ptr error) override;

    const std::filesystem::path& reportsFolder() const { return folder_; }

    struct Ring; // breadcrumbs as ready-made JSON, readable from a signal handler

private:
    friend struct CrashHandlers;
    // A fatal report from the terminate handler (not signal context).
    void writeTerminateReport(std::exception_ptr error) noexcept;
    // The JSON members every report of this run shares, followed by a comma.
    std::string reportHeader() const;
    ErrorSummary scrubbed(ErrorSummary summary) const;

    std::filesystem::path folder_;
    std::shared_ptr<const SecretScrubber> scrubber_;
    mutable std::mutex mutex_;
    bool started_ = false;
    CrashReporterOptions options_;
    std::unique_ptr<Ring> ring_;
};

} // namespace pennial
