#include "base/json.hpp"
#include "platform/linux/crash/local_crash_reporter.hpp"
#include "temp_folder.hpp"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace pennial;
using pennial::testing::TempFolder;

namespace {

CrashReporterOptions options() {
    CrashReporterOptions options;
    options.dsn = "https://key@ingest.example.test/1";
    options.enableUncaughtExceptionReporting = true;
    options.environment = "production";
    options.releaseName = "com.pennial.macos@0.5.35";
    return options;
}

// The reports in the folder whose file names start with prefix, parsed.
std::vector<Json> reports(const std::filesystem::path& folder, const std::string& prefix) {
    std::vector<Json> found;
    if (!std::filesystem::exists(folder))
        return found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.path().filename().string().starts_with(prefix))
            continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        found.push_back(json::parse(text.str()));
    }
    return found;
}

std::vector<std::string> messages(const Json& report) {
    std::vector<std::string> found;
    for (const auto& crumb : report["breadcrumbs"])
        found.push_back(crumb["message"].get<std::string>());
    return found;
}

} // namespace

TEST(LocalCrashReporter, RecordsNothingBeforeItIsStarted) {
    TempFolder folder;
    LocalCrashReporter reporter(folder / "reports");
    reporter.addBreadcrumb({BreadcrumbLevel::info, "start", "App startup began"});
    reporter.captureError(std::make_exception_ptr(std::runtime_error("early")));
    EXPECT_FALSE(reporter.isStarted());
    EXPECT_TRUE(reports(folder / "reports", "").empty());
}

TEST(LocalCrashReporter, ACapturedErrorIsReportedWithTheTrailSoFar) {
    TempFolder folder;
    LocalCrashReporter reporter(folder / "reports");
    reporter.start(options());
    reporter.addBreadcrumb({BreadcrumbLevel::info, "start", "App startup began"});
    reporter.addBreadcrumb({BreadcrumbLevel::warning, "auth", "Session \"expired\""});
    reporter.captureError(std::make_exception_ptr(std::invalid_argument("config.json is bad")));

    auto found = reports(folder / "reports", "error-");
    ASSERT_EQ(found.size(), 1u);
    auto& report = found[0];
    EXPECT_EQ(report["level"], "error");
    EXPECT_EQ(report["release"], "com.pennial.macos@0.5.35");
    EXPECT_EQ(report["environment"], "production");
    EXPECT_EQ(report["exception"]["type"], "std::invalid_argument");
    EXPECT_EQ(report["exception"]["value"], "config.json is bad");
    ASSERT_EQ(report["breadcrumbs"].size(), 2u);
    EXPECT_EQ(report["breadcrumbs"][1]["level"], "warning");
    EXPECT_EQ(report["breadcrumbs"][1]["category"], "auth");
    EXPECT_EQ(report["breadcrumbs"][1]["message"], "Session \"expired\"");
}

TEST(LocalCrashReporter, TheTrailKeepsTheLastHundredAndCutsLongMessages) {
    TempFolder folder;
    LocalCrashReporter reporter(folder.path());
    reporter.start(options());
    for (int i = 0; i < 130; ++i)
        reporter.addBreadcrumb({BreadcrumbLevel::info, "n", std::to_string(i)});
    reporter.addBreadcrumb({BreadcrumbLevel::info, "n", std::string(5000, 'x')});
    reporter.captureError(std::make_exception_ptr(std::runtime_error("x")));

    auto found = reports(folder.path(), "error-");
    ASSERT_EQ(found.size(), 1u);
    auto trail = messages(found[0]);
    ASSERT_EQ(trail.size(), LocalCrashReporter::maxBreadcrumbs);
    EXPECT_EQ(trail.front(), "31");
    EXPECT_LT(trail.back().size(), 768u);
    EXPECT_TRUE(trail.back().ends_with("..."));
}

TEST(LocalCrashReporterDeathTest, AFatalSignalLeavesAReportWithTheTrail) {
    GTEST_FLAG_SET(death_test_style, "fast");
    TempFolder folder;
    EXPECT_DEATH(
        {
            auto scrubber = std::make_shared<SecretScrubber>();
            scrubber->remember("tok-0123456789");
            LocalCrashReporter reporter(folder.path(), scrubber);
            reporter.start(options());
            reporter.addBreadcrumb({BreadcrumbLevel::info, "start", "Startup complete"});
            reporter.addBreadcrumb({BreadcrumbLevel::info, "auth", "Token tok-0123456789 used"});
            std::raise(SIGSEGV);
        },
        "");
    auto found = reports(folder.path(), "fatal-");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]["level"], "fatal");
    EXPECT_EQ(found[0]["signal"]["name"], "SIGSEGV");
    EXPECT_EQ(found[0]["release"], "com.pennial.macos@0.5.35");
    EXPECT_EQ(messages(found[0]),
              (std::vector<std::string>{"Startup complete", "Token [Filtered] used"}));
}

TEST(LocalCrashReporterDeathTest, AnUncaughtExceptionIsReportedOnceWithItsType) {
    GTEST_FLAG_SET(death_test_style, "fast");
    TempFolder folder;
    EXPECT_DEATH(
        {
            auto scrubber = std::make_shared<SecretScrubber>();
            scrubber->remember("the field's text");
            LocalCrashReporter reporter(folder.path(), scrubber);
            reporter.start(options());
            try {
                throw std::out_of_range("index 7 of the field's text");
            } catch (...) {
                std::terminate();
            }
        },
        "");
    auto found = reports(folder.path(), "fatal-");
    ASSERT_EQ(found.size(), 1u) << "the abort that follows adds no second report";
    EXPECT_EQ(found[0]["exception"]["type"], "std::out_of_range");
    EXPECT_EQ(found[0]["exception"]["value"], "index 7 of [Filtered]");
}
