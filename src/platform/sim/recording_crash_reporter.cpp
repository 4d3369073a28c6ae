#include "platform/sim/recording_crash_reporter.hpp"

namespace pennial {

RecordingCrashReporter::RecordingCrashReporter(bool started) : started_(started) {}

void RecordingCrashReporter::start(const CrashReporterOptions& options) {
    std::lock_guard lock(mutex_);
    started_ = true;
    ++startCount_;
    options_ = options;
}

bool RecordingCrashReporter::isStarted() const {
    std::lock_guard lock(mutex_);
    return started_;
}

void RecordingCrashReporter::addBreadcrumb(Breadcrumb breadcrumb) {
    std::lock_guard lock(mutex_);
    if (started_)
        breadcrumbs_.push_back(std::move(breadcrumb));
}

void RecordingCrashReporter::captureError(std::exception_ptr error) {
    if (!error)
        return;
    auto captured = summarizeError(error);
    std::lock_guard lock(mutex_);
    if (started_)
        errors_.push_back(std::move(captured));
}

std::optional<CrashReporterOptions> RecordingCrashReporter::options() const {
    std::lock_guard lock(mutex_);
    return options_;
}

int RecordingCrashReporter::startCount() const {
    std::lock_guard lock(mutex_);
    return startCount_;
}

std::vector<Breadcrumb> RecordingCrashReporter::breadcrumbs() const {
    std::lock_guard lock(mutex_);
    return breadcrumbs_;
}

std::vector<std::string> RecordingCrashReporter::messages(std::string_view category) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> found;
    for (const auto& crumb : breadcrumbs_)
        if (crumb.category == category)
            found.push_back(crumb.message);
    return found;
}

std::vector<ErrorSummary> RecordingCrashReporter::errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

} // namespace pennial
