#pragma once
// Crash reporting as the application entry starts it: only with a data source name compiled in,
// and with the options every report of this build carries.

#include "platform/crash_reporter.hpp"
#include "platform/environment.hpp"

#include <string>
#include <string_view>

namespace pennial {

// The build's data source name (CMake cache variable PENNIAL_CRASH_REPORTING_DSN); empty when
// crash reporting is off.
std::string_view compiledInCrashReportingDsn();

inline constexpr const char* crashReportingDsnVariable = "PENNIAL_CRASH_REPORTING_DSN";
// The compiled-in data source name, or the environment's when it sets one that is not empty.
std::string crashReportingDsn(const Environment& environment);

CrashReporterOptions crashReportingOptions(std::string dsn);

// Starts the reporter when dsn is not empty; answers whether it did.
bool startCrashReporting(CrashReporter& reporter,
                         std::string_view dsn = compiledInCrashReportingDsn());

} // namespace pennial
