#include "app/uploading_crash_reporter.hpp"

namespace pennial {

UploadingCrashReporter::UploadingCrashReporter(std::shared_ptr<CrashReporter> local,
                                               std::shared_ptr<CrashReportUploader> uploader)
    : local_(std::move(local)), uploader_(std::move(uploader)) {}

UploadingCrashReporter::~UploadingCrashReporter() {
    uploader_->stop();
    // Cancelled, a transfer ends at once; the wait only keeps the pass from outliving the run.
    uploader_->waitUntilIdle(std::chrono::seconds(2));
}

void UploadingCrashReporter::start(const CrashReporterOptions& options) {
    bool wasStarted = local_->isStarted();
    local_->start(options);
    if (!wasStarted && local_->isStarted())
        uploader_->sendPending();
}

bool UploadingCrashReporter::isStarted() const {
    return local_->isStarted();
}

void UploadingCrashReporter::addBreadcrumb(Breadcrumb breadcrumb) {
    local_->addBreadcrumb(std::move(breadcrumb));
}

void UploadingCrashReporter::captureError(std::exception_ptr error) {
    if (!error || !local_->isStarted())
        return;
    local_->captureError(std::move(error));
    uploader_->sendPending();
}

} // namespace pennial
