#pragma once
// A crash reporter that keeps what it is given, for tests. Like the real one, it records nothing
// until it has been started.

#include "platform/crash_reporter.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

class RecordingCrashReporter final : public CrashReporter {
public:
    // started: whether it behaves as already started (the usual case in tests of the core).
    explicit RecordingCrashReporter(bool started = true);

    void start(const CrashReporterOptions& options) override;
    bool isStarted() const override;
    void addBreadcrumb(Breadcrumb breadcrumb) override;
    void captureError(std::exception_ptr error) override;

    std::optional<CrashReporterOptions> options() const;
    int startCount() const;
    std::vector<Breadcrumb> breadcrumbs() const;
    // The messages of the breadcrumbs of one category, in order.
    std::vector<std::string> messages(std::string_view category) const;
    std::vector<ErrorSummary> errors() const;

private:
    mutable std::mutex mutex_;
    bool started_;
    int startCount_ = 0;
    std::optional<CrashReporterOptions> options_;
    std::vector<Breadcrumb> breadcrumbs_;
    std::vector<ErrorSummary> errors_;
};

} // namespace pennial
