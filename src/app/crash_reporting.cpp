#include "app/crash_reporting.hpp"

#include "app/app_identity.hpp"

namespace pennial {

std::string_view compiledInCrashReportingDsn() {
    return PENNIAL_CRASH_REPORTING_DSN;
}

std::string crashReportingDsn(const Environment& environment) {
    if (auto value = environment.value(crashReportingDsnVariable); value && !value->empty())
        return *value;
    return std::string(compiledInCrashReportingDsn());
}

CrashReporterOptions crashReportingOptions(std::string dsn) {
    CrashReporterOptions options;
    options.dsn = std::move(dsn);
    options.enableUncaughtExceptionReporting = true;
    options.tracesSampleRate = 0.2;
    options.environment = "production";
    options.releaseName = applicationReleaseName();
    return options;
}

bool startCrashReporting(CrashReporter& reporter, std::string_view dsn) {
    if (dsn.empty())
        return false;
    reporter.start(crashReportingOptions(std::string(dsn)));
    return true;
}

} // namespace pennial
