// The application started with a crash-reporting address in its environment: the report that the
// last run's crash left behind reaches the service at start and is then removed.

#include "desktop_session.hpp"
#include "support/fake_backend.hpp"
#include "support/fake_ingestion.hpp"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

using namespace pennial::e2e;
using namespace pennial::testing;

TEST(CrashReportingLaunch, TheLastRunsCrashIsSentAtStartAndRemoved) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    FakeBackend backend;
    QTemporaryDir home;
    const auto reports = std::filesystem::path(home.path().toStdString()) / ".local" / "state" /
                         "pennial" / "crash-reports";
    std::filesystem::create_directories(reports);
    const auto crash = reports / "fatal-1765000000-4242.json";
    std::ofstream(crash) << R"({"level":"fatal","platform":"native",)"
                         << R"("release":"com.pennial.macos@0.5.35","environment":"production",)"
                         << R"("timestamp":1765000000,"signal":{"number":11,"name":"SIGSEGV"},)"
                         << R"("breadcrumbs":[{"timestamp":1765000000.0,"level":"info",)"
                         << R"("category":"start","message":"Startup complete"}]})"
                         << "\n";

    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.remove("XDG_CONFIG_HOME");
    environment.remove("XDG_STATE_HOME");
    for (const char* variable : {"PENNIAL_API_BASE_URL", "PENNIAL_SUPABASE_URL"})
        environment.insert(variable, QString::fromStdString(backend.baseURL()));
    environment.insert("PENNIAL_SUPABASE_PUBLISHABLE_KEY", "local-key");
    environment.insert(
        "PENNIAL_CRASH_REPORTING_DSN",
        QString("http://0123456789abcdef0123456789abcdef@127.0.0.1:%1/4507").arg(backend.port()));
    QProcess application;
    application.setProcessEnvironment(environment);
    application.setProcessChannelMode(QProcess::MergedChannels);
    // build/<preset>/tests/<this program> -> build/<preset>/src/pennial
    application.start(QFileInfo("/proc/self/exe").canonicalPath() + "/../src/pennial", {});
    ASSERT_TRUE(application.waitForStarted());

    EXPECT_TRUE(backend.waitForRequests(Endpoint::crashEnvelope, 1, std::chrono::seconds(20)));
    EXPECT_TRUE(waitUntil([&] { return !std::filesystem::exists(crash); }, 10s));
    application.terminate();
    application.waitForFinished(5000);

    auto envelopes = backend.requests(Endpoint::crashEnvelope);
    ASSERT_EQ(envelopes.size(), 1u) << application.readAll().toStdString();
    auto event = parseCrashEnvelope(envelopes[0].body)[2];
    EXPECT_EQ(event["level"], "fatal");
    EXPECT_EQ(event["exception"]["values"][0]["type"], "SIGSEGV");
    EXPECT_EQ(event["breadcrumbs"]["values"][0]["message"], "Startup complete");
    EXPECT_FALSE(event["contexts"]["os"]["kernel_version"].get<std::string>().empty());
}
