#include "app/package_manager_updater.hpp"
#include "app/update_feed.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_update_feed.hpp"

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

// Installed from a package file (apt install ./pennial_*.deb): apt lists the version from the
// installed packages' own list only, and could never offer a newer one. Its "candidate" says
// nothing, so the signed feed is asked, which says whether a newer version exists and where to get
// it; a check that cannot reach it fails rather than call the copy up to date.
TEST(PackageManagerUpdater, WithoutARepositoryTheSignedFeedIsAskedAndOnlyAnnounces) {
    const std::string fromFile = "pennial:\n  Installed: 0.5.35-1\n  Candidate: 0.5.35-1\n"
                                 "  Version table:\n *** 0.5.35-1 100\n"
                                 "        100 /var/lib/dpkg/status\n";
    EXPECT_FALSE(parseAptCachePolicy(fromFile).fromRepository);
    EXPECT_TRUE(parseAptCachePolicy(policy("0.5.35-1", "0.5.35-1")).fromRepository);

    asio::io_context main;
    auto waiting = asio::make_work_guard(main);
    pennial::testing::FakeUpdateFeed server;
    std::vector<UpdateNotice> notices;
    int found = 0;
    auto make = [&](std::string feedURL, bool withFeed) {
        std::shared_ptr<FeedUpdater> feed;
        if (withFeed) {
            FeedUpdater::Options options;
            options.feedURL = std::move(feedURL);
            options.signingKey = server.publicKey();
            options.currentVersion = "0.5.35";
            options.downloadPage = "https://pennial.example/download";
            feed = std::make_shared<FeedUpdater>(
                main.get_executor(), std::make_shared<CurlHttpClient>(),
                std::make_shared<SimUserDefaults>(),
                [&](const UpdateNotice& notice) { notices.push_back(notice); }, options);
        }
        auto updater = std::make_shared<PackageManagerUpdater>(
            main.get_executor(), std::make_shared<SimUserDefaults>(),
            [&](const UpdateNotice& notice) { notices.push_back(notice); },
            [&] { return fromFile; }, feed);
        updater->setCanCheckForUpdatesHandler([](bool) {});
        updater->setUpdateFoundHandler([&] { ++found; });
        return updater;
    };
    auto settle = [&](Updater& updater) {
        for (int i = 0; i < 500 && (!updater.canCheckForUpdates() || notices.empty() ||
                                    notices.back().kind == Kind::checking);
             ++i) {
            main.restart();
            main.run_for(std::chrono::milliseconds(10));
        }
    };
    auto check = [&](Updater& updater) {
        notices.clear();
        updater.checkForUpdates();
        settle(updater);
        return notices.back();
    };

    auto updater = make(server.feedURL(), true);
    server.publish({"0.6.0", "Faster palette.", server.archiveURL(), 10, std::string(64, 'a')});
    auto notice = check(*updater);
    EXPECT_EQ(notice.kind, Kind::availableToDownload);
    EXPECT_EQ(notice.version, "0.6.0");
    EXPECT_EQ(notice.address, "https://pennial.example/download");
    EXPECT_EQ(notice.releaseNotes, "Faster palette.");
    EXPECT_FALSE(notice.install) << "nothing is installed over the system's package";
    EXPECT_EQ(found, 1);

    server.publish({"0.5.35", "", server.archiveURL(), 10, std::string(64, 'a')});
    EXPECT_EQ(check(*updater).kind, Kind::upToDate) << "the feed can know";

    // A feed that cannot be asked, or none at all: never "up to date".
    EXPECT_EQ(check(*make("http://127.0.0.1:1/update-feed.json", true)).kind, Kind::checkFailed);
    notice = check(*make("", false));
    EXPECT_EQ(notice.kind, Kind::checkFailed);
    EXPECT_NE(notice.reason.find("package file"), std::string::npos) << notice.reason;

    // The start-up's check tells of a found update without a dialog.
    server.publish({"0.6.0", "", server.archiveURL(), 10, std::string(64, 'a')});
    notices.clear();
    auto quiet = make(server.feedURL(), true);
    quiet->startUpdater();
    for (int i = 0; i < 500 && found < 2; ++i) {
        main.restart();
        main.run_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(found, 2);
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
