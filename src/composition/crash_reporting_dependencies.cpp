#include "composition/crash_reporting_dependencies.hpp"

#include "app/secret_harvesting.hpp"
#include "app/uploading_crash_reporter.hpp"
#include "base/log.hpp"
#include "platform/linux/crash/crash_os_context.hpp"
#include "platform/linux/crash/local_crash_reporter.hpp"
#include "services/curl_http_client.hpp"

namespace pennial {

void addCrashReporting(CoordinatorDependencies& dependencies, const std::string& dsn) {
    auto scrubber = std::make_shared<SecretScrubber>();
    auto local =
        std::make_shared<LocalCrashReporter>(LocalCrashReporter::defaultReportsFolder(), scrubber);
    dependencies.crashReporter = local;
    if (dsn.empty())
        return; // reporting never starts
    harvestSecrets(dependencies, scrubber);
    auto address = CrashDsn::parse(dsn);
    if (!address) {
        logf(
            "⚠️ [CrashReporter] The crash-reporting address is not valid; reports stay on this "
            "machine");
        return;
    }
    // A client of its own: what the reports carry is not harvested.
    auto uploader = CrashReportUploader::create(local->reportsFolder(), *address,
                                                std::make_shared<CurlHttpClient>(), scrubber,
                                                thisMachinesOsContext());
    dependencies.crashReporter = std::make_shared<UploadingCrashReporter>(local, uploader);
    logf("🔵 [CrashReporter] Crash reports are sent to {}", address->host);
}

} // namespace pennial
