#pragma once
// A crash reporter whose reports also reach the crash-reporting service: the reporter it wraps
// keeps each report as a file, and the uploader sends those files. Starting sends what earlier runs
// left (the last crash among them); each captured error is sent as soon as it is written.

#include "app/crash_report_uploader.hpp"
#include "platform/crash_reporter.hpp"

#include <memory>

namespace pennial {

class UploadingCrashReporter final : public CrashReporter {
public:
    UploadingCrashReporter(std::shared_ptr<CrashReporter> local,
                           std::shared_ptr<CrashReportUploader> uploader);
    // Stops sending: a report on its way stays queued for the next run.
    ~UploadingCrashReporter() override;
    UploadingCrashReporter(const UploadingCrashReporter&) = delete;
    UploadingCrashReporter& operator=(const UploadingCrashReporter&) = delete;

    void start(const CrashReporterOptions& options) override;
    bool isStarted() const override;
    void addBreadcrumb(Breadcrumb breadcrumb) override;
    void captureError(std::exception_ptr error) override;

    CrashReportUploader& uploader() { return *uploader_; }

private:
    std::shared_ptr<CrashReporter> local_;
    std::shared_ptr<CrashReportUploader> uploader_;
};

} // namespace pennial
