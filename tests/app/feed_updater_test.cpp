#include "app/feed_updater.hpp"
#include "base/json.hpp"
#include "base/log.hpp"
#include "platform/linux/install/user_installation.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_update_feed.hpp"
#include "temp_folder.hpp"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sodium.h>
#include <sstream>

using namespace pennial;
using pennial::testing::FakeUpdateFeed;
using pennial::testing::TempFolder;
using Kind = UpdateNotice::Kind;
namespace fs = std::filesystem;

using pennial::testing::readFile;
using pennial::testing::writeFile;

namespace {

struct FeedUpdaterTest : ::testing::Test {
    FeedUpdaterTest() {
        EXPECT_GE(sodium_init(), 0);
        crypto_sign_keypair(publicKey.data(), secretKey);
        // A new version's archive: its program and enough else to take several ranges.
        TempFolder content;
        writeFile(content / "pennial", "#!/bin/sh\necho 0.6.0\n");
        fs::permissions(content / "pennial", fs::perms::owner_all);
        std::mt19937 random(7);
        std::string noise(20'000, '\0');
        for (auto& byte : noise)
            byte = static_cast<char>(random());
        writeFile(content / "notes.bin", noise);
        const auto archiveFile = home / "update.tar.gz";
        EXPECT_EQ(std::system(
                      ("tar -czf " + archiveFile.string() + " -C " + content.path().string() + " .")
                          .c_str()),
                  0);
        archive = readFile(archiveFile);
        fs::remove(archiveFile);
        feed.setArchive(archive);
    }

    std::string sign(const std::string& bytes) const {
        unsigned char signature[crypto_sign_BYTES];
        crypto_sign_detached(signature, nullptr,
                             reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                             secretKey);
        char text[sodium_base64_ENCODED_LEN(crypto_sign_BYTES, sodium_base64_VARIANT_ORIGINAL)];
        sodium_bin2base64(text, sizeof text, signature, sizeof signature,
                          sodium_base64_VARIANT_ORIGINAL);
        return text;
    }

    void publish(const std::string& version, std::size_t size, const std::string& signature) {
        feed.setFeed(json::dump(Json{{"version", version},
                                     {"notes", "Faster palette."},
                                     {"url", feed.archiveURL()},
                                     {"size", size},
                                     {"signature", signature}}));
    }

    std::shared_ptr<FeedUpdater> makeUpdater(std::string feedURL) {
        FeedUpdater::Options options;
        options.feedURL = std::move(feedURL);
        options.signingKey = publicKey;
        options.currentVersion = "0.5.35";
        options.install = [this](const std::string& bytes) { installation.replaceWith(bytes); };
        options.relaunch = [this] { ++relaunches; };
        options.chunkBytes = 4096;
        auto updater = std::make_shared<FeedUpdater>(
            main.get_executor(), http, defaults,
            [this](const UpdateNotice& notice) { notices.push_back(notice); }, options);
        updater->setUpdateFoundHandler([this] { ++found; });
        return updater;
    }

    bool runUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 300 && !done(); ++i) {
            main.restart();
            main.run_for(std::chrono::milliseconds(10));
        }
        return done();
    }
    bool settled(const Updater& updater) {
        return runUntil([&] { return updater.canCheckForUpdates(); });
    }
    Kind lastKind() const { return notices.empty() ? Kind::checking : notices.back().kind; }

    asio::io_context main;
    // The checks run on another thread and report to main: main waits for them.
    asio::executor_work_guard<asio::io_context::executor_type> waiting =
        asio::make_work_guard(main);
    std::shared_ptr<HTTPClient> http = std::make_shared<CurlHttpClient>();
    std::shared_ptr<SimUserDefaults> defaults = std::make_shared<SimUserDefaults>();
    FakeUpdateFeed feed;
    TempFolder home;
    UserInstallation installation{home.path()};
    UpdateSigningKey publicKey{};
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES]{};
    std::string archive;
    std::vector<UpdateNotice> notices;
    int found = 0;
    int relaunches = 0;
};

} // namespace

TEST_F(FeedUpdaterTest, AChecksOutcomeIsShownAndOnlyANewerVersionIsReported) {
    auto updater = makeUpdater(feed.feedURL());
    publish("0.5.35", archive.size(), sign(archive));
    updater->checkForUpdates();
    EXPECT_EQ(notices.at(0).kind, Kind::checking);
    ASSERT_TRUE(settled(*updater));
    EXPECT_EQ(lastKind(), Kind::upToDate);
    EXPECT_EQ(notices.back().version, "0.5.35");
    EXPECT_EQ(found, 0);

    feed.setFeed("{\"version\": 3}");
    updater->checkForUpdates();
    ASSERT_TRUE(settled(*updater));
    EXPECT_EQ(lastKind(), Kind::checkFailed);

    auto unreachable = makeUpdater("http://127.0.0.1:1/update-feed.json");
    unreachable->checkForUpdates();
    ASSERT_TRUE(settled(*unreachable));
    EXPECT_EQ(lastKind(), Kind::checkFailed);
    EXPECT_NE(notices.back().reason.find("cannot be reached"), std::string::npos)
        << notices.back().reason;
    EXPECT_EQ(found, 0);
    EXPECT_EQ(feed.archiveRequests(), 0);
}

TEST_F(FeedUpdaterTest, TheStartUpCheckRunsAtMostOnceADayAndOnlyReportsWhatItFinds) {
    publish("0.6.0", archive.size(), sign(archive));
    auto updater = makeUpdater(feed.feedURL());
    LogCapture log;
    updater->startUpdater();
    ASSERT_TRUE(runUntil([&] { return found == 1; }));
    ASSERT_TRUE(settled(*updater));
    EXPECT_TRUE(notices.empty()) << "no dialog for a check the user did not ask for";
    updater->startUpdater();
    EXPECT_TRUE(settled(*updater));
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(log.contains("🔵 [UpdateService] Update check skipped: one ran in the last day"));
}

TEST_F(FeedUpdaterTest, AVerifiedArchiveReplacesTheInstalledCopyWithProgressThenRelaunches) {
    writeFile(installation.program(), "old");
    publish("0.6.0", archive.size(), sign(archive));
    auto updater = makeUpdater(feed.feedURL());
    updater->checkForUpdates();
    ASSERT_TRUE(settled(*updater));
    ASSERT_EQ(lastKind(), Kind::readyToInstall);
    EXPECT_EQ(notices.back().version, "0.6.0");
    EXPECT_EQ(notices.back().releaseNotes, "Faster palette.");
    EXPECT_EQ(found, 1);

    notices.back().install();
    ASSERT_TRUE(runUntil([&] { return relaunches == 1; })) << notices.back().reason;
    EXPECT_EQ(readFile(installation.program()), "#!/bin/sh\necho 0.6.0\n");
    EXPECT_EQ(fs::file_size(installation.directory() / "notes.bin"), 20'000u);
    EXPECT_GT(feed.archiveRequests(), 2) << "downloaded in ranges";
    double progress = 0;
    for (const auto& notice : notices)
        if (notice.kind == Kind::downloading) {
            EXPECT_GE(notice.progress, progress);
            progress = notice.progress;
        }
    EXPECT_GT(progress, 0.5);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry :
         fs::directory_iterator(installation.directory().parent_path()))
        ++entries;
    EXPECT_EQ(entries, 1) << "no staging folder is left behind";
}

TEST_F(FeedUpdaterTest, ABadSignatureOrATruncatedDownloadInstallsNothing) {
    writeFile(installation.program(), "old");
    struct Case {
        std::string name;
        std::size_t size;
        std::string signature;
        std::string served;
        std::string reason;
    };
    auto tampered = archive;
    tampered[tampered.size() / 2] ^= 1;
    const std::vector<Case> cases = {
        {"tampered", archive.size(), sign(archive), tampered, "signature is not valid"},
        {"signed by another key", archive.size(), sign(archive + "x"), archive,
         "signature is not valid"},
        {"not a signature", archive.size(), "%%%", archive, "signature is not valid"},
        {"truncated", archive.size(), sign(archive), archive.substr(0, archive.size() - 100),
         "incomplete"},
        {"cut at a range's end", archive.size(), sign(archive), archive.substr(0, 8192),
         "incomplete"},
        {"longer than announced", archive.size() - 5000, sign(archive), archive, "larger"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        notices.clear();
        feed.setArchive(c.served);
        publish("0.6.0", c.size, c.signature);
        auto updater = makeUpdater(feed.feedURL());
        updater->checkForUpdates();
        ASSERT_TRUE(settled(*updater));
        ASSERT_EQ(lastKind(), Kind::readyToInstall);
        notices.back().install();
        ASSERT_TRUE(runUntil([&] { return lastKind() == Kind::installFailed; }));
        EXPECT_NE(notices.back().reason.find(c.reason), std::string::npos) << notices.back().reason;
        EXPECT_EQ(readFile(installation.program()), "old");
        EXPECT_EQ(relaunches, 0);
    }
}

TEST_F(FeedUpdaterTest, WorkUnderWayWhenTheProgramEndsReportsNothingMore) {
    publish("0.6.0", archive.size(), sign(archive));
    auto updater = makeUpdater(feed.feedURL());
    updater->checkForUpdates();
    updater->stopUpdater();
    runUntil([] { return false; }); // long enough for the check to have ended
    EXPECT_EQ(notices.size(), 1u) << "only the checking notice, shown before the stop";
    EXPECT_EQ(found, 0);
}
