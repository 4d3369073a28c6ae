#pragma once
// A crash reporter that keeps what it is given, for tests. Like the real one, it records nothing
// until it has been started.

#include "platform/crash_reporter.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pennial::sim {

class RecordingCrashReporter final : public platform::CrashReporter {
public:
    // started: whether it behaves as already started (the usual case in tests of the core).
    explicit RecordingCrashReporter(bool started = true);

    void start(const platform::CrashReporterOptions& options) override;
    bool isStarted() const override;
    void addBreadcrumb(platform::Breadcrumb breadcrumb) override;
    void captureError(std::exception_ptr error) override;

    std::optional<platform::CrashReporterOptions> options() const;
    int startCount() const;
    std::vector<platform::Breadcrumb> breadcrumbs() const;
    // The messages of the breadcrumbs of one category, in order.
    std::vector<std::string> messages(std::string_view category) const;
    std::vector<platform::ErrorSummary> errors() const;

private:
    mutable std::mutex mutex_;
    bool started_;
    int startCount_ = 0;
    std::optional<platform::CrashReporterOptions> options_;
    std::vector<platform::Breadcrumb> breadcrumbs_;
    std::vector<platform::ErrorSummary> errors_;
};

} // namespace pennial::sim
