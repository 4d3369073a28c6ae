#include "app/package_manager_updater.hpp"
#include "app/update_feed.hpp"
#include "platform/sim/sim_user_defaults.hpp"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <fmt/format.h>
#include <gtest/gtest.h>

using namespace pennial;
using Kind = UpdateNotice::Kind;

namespace {

std::string policy(const char* installed, const char* candidate) {
    return fmt::format("pennial:\n  Installed: {}\n  Candidate: {}\n  Version table:\n"
                       " *** {} 500\n        500 http://deb.example stable/main amd64 Packages\n",
                       installed, candidate, installed);
}

} // namespace

TEST(PackageManagerUpdater, ReadsAptsPolicyAndSaysWhereTheNewerVersionComesFrom) {
    asio::io_context main;
    // The package system answers on another thread: main waits for it.
    auto waiting = asio::make_work_guard(main);
    std::string answer;
    bool fails = false;
    std::vector<UpdateNotice> notices;
    int found = 0;
    auto updater = std::make_shared<PackageManagerUpdater>(
        main.get_executor(), std::make_shared<SimUserDefaults>(),
        [&](const UpdateNotice& notice) { notices.push_back(notice); },
        [&] {
            if (fails)
                throw std::runtime_error("apt-cache failed");
            return answer;
        });
    updater->setUpdateFoundHandler([&] { ++found; });
    auto settle = [&] {
        EXPECT_FALSE(updater->canCheckForUpdates()) << "a check is under way";
        for (int i = 0; i < 500 && !updater->canCheckForUpdates(); ++i) {
            main.restart();
            main.run_for(std::chrono::milliseconds(10));
        }
    };
    auto check = [&] {
        updater->checkForUpdates();
        settle();
        return notices.back();
    };

    answer = policy("0.5.35-1", "0.5.35-1");
    auto notice = check();
    EXPECT_EQ(notice.kind, Kind::upToDate);
    EXPECT_EQ(notice.version, "0.5.35");
    EXPECT_EQ(found, 0);

    answer = policy("0.5.35-1", "1:0.6.0-2");
    notice = check();
    EXPECT_EQ(notice.kind, Kind::inSystemUpdates);
    EXPECT_EQ(notice.version, "0.6.0");
    EXPECT_EQ(found, 1);

    answer = policy("(none)", "0.6.0-1");
    EXPECT_EQ(check().kind, Kind::checkFailed) << "not installed by the package manager";
    answer = "";
    EXPECT_EQ(check().kind, Kind::checkFailed) << "a package apt does not know";
    fails = true;
    notice = check();
    EXPECT_EQ(notice.kind, Kind::checkFailed);
    EXPECT_EQ(notice.reason, "apt-cache failed");

    // The check at start that fails shows nothing: the user did not ask for it.
    notices.clear();
    updater->startUpdater();
    settle();
    EXPECT_TRUE(updater->canCheckForUpdates());
    EXPECT_TRUE(notices.empty());
}

TEST(UpdateFeed, VersionsCompareByTheirNumbersPartByPart) {
    EXPECT_TRUE(isNewerVersion("0.5.36", "0.5.35"));
    EXPECT_TRUE(isNewerVersion("0.10.0", "0.9.9"));
    EXPECT_TRUE(isNewerVersion("1", "0.99.99"));
    EXPECT_TRUE(isNewerVersion("0.5.35.1", "0.5.35"));
    EXPECT_FALSE(isNewerVersion("0.5.35", "0.5.35"));
    EXPECT_FALSE(isNewerVersion("0.5", "0.5.0"));
    EXPECT_FALSE(isNewerVersion("0.5.34", "0.5.35"));
    EXPECT_FALSE(isNewerVersion("garbage", "0.5.35"));
    EXPECT_THROW(parseUpdateFeed("[]"), UpdateFeedError);
    EXPECT_THROW(parseUpdateFeed(R"({"version":"1","url":"u","size":-1,"signature":"s"})"),
                 UpdateFeedError);
    EXPECT_THROW(decodeSigningKey("c2hvcnQ="), UpdateFeedError);
}
