#include "app/crash_reporting.hpp"
#include "platform/sim/recording_crash_reporter.hpp"
#include "platform/sim/sim_environment.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(CrashReporting, AnEmptyDsnLeavesReportingOff) {
    RecordingCrashReporter reporter(false);
    EXPECT_FALSE(startCrashReporting(reporter, ""));
    EXPECT_FALSE(reporter.isStarted());
    reporter.addBreadcrumb({BreadcrumbLevel::info, "start", "App startup began"});
    reporter.captureError(std::make_exception_ptr(std::runtime_error("lost")));
    EXPECT_TRUE(reporter.breadcrumbs().empty());
    EXPECT_TRUE(reporter.errors().empty());
}

TEST(CrashReporting, ADsnStartsReportingOnceWithTheBuildsOptions) {
    RecordingCrashReporter reporter(false);
    std::string dsn = "https://0123456789abcdef0123456789abcdef@ingest.example.test/4507";
    EXPECT_TRUE(startCrashReporting(reporter, dsn));
    EXPECT_EQ(reporter.startCount(), 1);
    auto options = reporter.options().value();
    EXPECT_EQ(options.dsn, dsn);
    EXPECT_TRUE(options.enableUncaughtExceptionReporting);
    EXPECT_DOUBLE_EQ(options.tracesSampleRate, 0.2);
    EXPECT_EQ(options.environment, "production");
    EXPECT_EQ(options.releaseName, "com.pennial.macos@0.5.35");
}

TEST(CrashReporting, TheEnvironmentsDsnTakesThePlaceOfTheCompiledInOne) {
    SimEnvironment environment;
    EXPECT_EQ(crashReportingDsn(environment), compiledInCrashReportingDsn());
    environment.set("PENNIAL_CRASH_REPORTING_DSN", "");
    EXPECT_EQ(crashReportingDsn(environment), compiledInCrashReportingDsn())
        << "empty sets nothing";
    environment.set("PENNIAL_CRASH_REPORTING_DSN", "https://k@ingest.example.test/7");
    EXPECT_EQ(crashReportingDsn(environment), "https://k@ingest.example.test/7");
}
