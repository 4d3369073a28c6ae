#include "app/feed_updater.hpp"
#include "base/json.hpp"
#include "base/log.hpp"
#include "installation_fixture.hpp"
#include "platform/linux/install/user_installation.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "services/curl_http_client.hpp"
#include "support/fake_update_feed.hpp"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <gtest/gtest.h>
#include <malloc.h>
#include <random>
#include <sanitizer/allocator_interface.h>

using namespace pennial;
using namespace pennial::testing;
using Kind = UpdateNotice::Kind;
namespace fs = std::filesystem;

namespace {

std::string sha256Of(const std::string& bytes) {
    ArchiveDigest digest;
    digest.update(bytes);
    return digest.hex();
}

// What the heap holds now (what the process's size would say counts what the sanitizer keeps of
// freed memory).
std::size_t heapInUseMiB() {
#if defined(__has_feature) && __has_feature(address_sanitizer)
    return __sanitizer_get_current_allocated_bytes() >> 20;
#else
    const auto heap = ::mallinfo2();
    return (heap.uordblks + heap.hblkhd) >> 20;
#endif
}

struct FeedUpdaterTest : ::testing::Test {
    FeedUpdaterTest() {
        writeFile(installation.program(), programNaming("0.5.35"));
        // A new version's archive: its program and enough else to take several ranges.
        archive = archiveOf([](const fs::path& content) {
            writeProgram(content / "pennial", programNaming("0.6.0"));
            std::mt19937 random(7);
            std::string noise(20'000, '\0');
            for (auto& byte : noise)
                byte = static_cast<char>(random());
            writeFile(content / "notes.bin", noise);
        });
        feed.setArchive(archive);
    }

    UpdateFeedItem itemFor(const std::string& version, const std::string& bytes) const {
        return {version, "Faster palette.", feed.archiveURL(), bytes.size(), sha256Of(bytes)};
    }

    std::shared_ptr<FeedUpdater> makeUpdater(std::string feedURL, std::size_t chunkBytes = 4096,
                                             bool withKey = true) {
        FeedUpdater::Options options;
        options.feedURL = std::move(feedURL);
        if (withKey)
            options.signingKey = feed.publicKey();
        options.currentVersion = "0.5.35";
        options.install = [this](const fs::path& file, const std::string& version) {
            installation.replaceWith(file, version);
        };
        options.installedVersion = [this] { return installation.installedVersion(); };
        options.relaunch = [this] { ++relaunches; };
        options.chunkBytes = chunkBytes;
        options.downloadFolder = opt;
        auto updater = std::make_shared<FeedUpdater>(
            main.get_executor(), http, defaults,
            [this](const UpdateNotice& notice) { notices.push_back(notice); }, options);
        updater->setUpdateFoundHandler([this] { ++found; });
        return updater;
    }

    bool runUntil(const std::function<bool()>& done, int slices = 300) {
        for (int i = 0; i < slices && !done(); ++i) {
            main.restart();
            main.run_for(std::chrono::milliseconds(10));
        }
        return done();
    }
    bool settled(const Updater& updater) {
        return runUntil([&] { return updater.canCheckForUpdates(); });
    }
    Kind lastKind() const { return notices.empty() ? Kind::checking : notices.back().kind; }
    // The check's outcome; for a found update, the dialog's install is started.
    Kind check(FeedUpdater& updater, bool install) {
        notices.clear();
        updater.checkForUpdates();
        EXPECT_TRUE(settled(updater));
        if (install && lastKind() == Kind::readyToInstall) {
            notices.back().install();
            runUntil([&] { return relaunches > 0 || lastKind() == Kind::installFailed; });
        }
        return lastKind();
    }
    // Staging and download folders left in ~/.local/opt.
    int leftovers() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(opt))
            count += entry.path().filename().string().starts_with(".");
        return count;
    }

    asio::io_context main;
    // The checks run on another thread and report to main: main waits for them.
    asio::executor_work_guard<asio::io_context::executor_type> waiting =
        asio::make_work_guard(main);
    std::shared_ptr<HTTPClient> http = std::make_shared<CurlHttpClient>();
    std::shared_ptr<SimUserDefaults> defaults = std::make_shared<SimUserDefaults>();
    FakeUpdateFeed feed;
    TempFolder home;
    UserInstallation installation{home.path()};
    fs::path opt = installation.directory().parent_path();
    std::string archive;
    std::vector<UpdateNotice> notices;
    int found = 0;
    int relaunches = 0;
};

} // namespace

// The feed: only a signed item of the right shape announces anything, and the signature covers
// the version, the size and the digest together.
TEST_F(FeedUpdaterTest, OnlyAWellFormedSignedItemAnnouncesAnUpdate) {
    auto updater = makeUpdater(feed.feedURL());
    const auto item = itemFor("0.6.0", archive);
    const auto good = updateFeedItemText(item);
    // The item's text with one member's value replaced by the JSON text given.
    auto with = [&](const std::string& key, const std::string& value) {
        auto object = json::parse(good);
        object[key] = "@@@";
        auto text = json::dump(object);
        return text.replace(text.find("\"@@@\""), 5, value);
    };
    // A signed item, then the reason it fails; none: it is not newer.
    std::vector<std::pair<std::string, std::string>> signedItems = {
        {with("version", "\"0.5.35\""), ""},
        {with("version", "\"0.5.0\""), ""},
        {with("version", "\"0.6.0-rc\""), "not a version number"},
        {with("version", '"' + std::string(10'000, '9') + '"'), "not a version number"},
        {with("size", "600000000"), "more than an update may have"},
        {with("sha256", "\"abc\""), "SHA-256"},
        {"[]", "not a JSON object"},
        {"version 9.9.9", "cannot be read"},
    };
    for (const auto* size :
         {"4.9e-324", "1e4", "1500.5", "0", "-1", "\"1500\"", "18446744073709551616"})
        signedItems.emplace_back(with("size", size), "no archive size");
    for (const auto& [text, reason] : signedItems) {
        SCOPED_TRACE(text.substr(0, 200));
        feed.publishSigned(text);
        EXPECT_EQ(check(*updater, false), reason.empty() ? Kind::upToDate : Kind::checkFailed);
        EXPECT_NE(notices.back().reason.find(reason), std::string::npos) << notices.back().reason;
    }

    auto changed = json::parse(feed.signFeed(good));
    changed["item"] = with("version", "\"9.9.9\"");
    FakeUpdateFeed impostor; // signs with a key of its own
    impostor.publish(item);
    auto unsignedFeed = json::parse(feed.signFeed(good));
    unsignedFeed["itemSignature"] = "";
    const std::vector<std::pair<std::string, std::string>> feeds = {
        {json::dump(changed), "signature is not valid"},
        {json::dump(unsignedFeed), "signature is not valid"},
        {impostor.signFeed(good), "signature is not valid"},
        {json::dump(Json{{"version", "9.9.9"}, // the archive's signature alone, as before
                         {"url", feed.archiveURL()},
                         {"size", archive.size()},
                         {"signature", "c2ln"}}),
         "\"item\""},
        {"[]", "not a JSON object"},
    };
    for (const auto& [text, reason] : feeds) {
        SCOPED_TRACE(text);
        feed.setFeed(text);
        EXPECT_EQ(check(*updater, false), Kind::checkFailed);
        EXPECT_NE(notices.back().reason.find(reason), std::string::npos) << notices.back().reason;
    }
    EXPECT_EQ(found, 0);
    EXPECT_EQ(feed.archiveRequests(), 0);
}

TEST_F(FeedUpdaterTest, AnUnreachableServerIsReportedAndTheUpToDateNoticeNamesTheVersion) {
    feed.publish(itemFor("0.5.35", archive));
    auto updater = makeUpdater(feed.feedURL());
    updater->checkForUpdates();
    EXPECT_EQ(notices.at(0).kind, Kind::checking);
    ASSERT_TRUE(settled(*updater));
    EXPECT_EQ(lastKind(), Kind::upToDate);
    EXPECT_EQ(notices.back().version, "0.5.35");

    auto unreachable = makeUpdater("http://127.0.0.1:1/update-feed.json");
    EXPECT_EQ(check(*unreachable, false), Kind::checkFailed);
    EXPECT_NE(notices.back().reason.find("cannot be reached"), std::string::npos)
        << notices.back().reason;
    EXPECT_EQ(found, 0);
}

TEST_F(FeedUpdaterTest, TheStartUpCheckRunsAtMostOnceADayAndOnlyReportsWhatItFinds) {
    LogCapture log;
    // Started offline: the failure is only logged.
    auto offline = makeUpdater("http://127.0.0.1:1/update-feed.json");
    offline->startUpdater();
    ASSERT_TRUE(
        runUntil([&] { return !log.matching("[UpdateService] Update check failed").empty(); }));
    ASSERT_TRUE(settled(*offline));
    EXPECT_TRUE(notices.empty()) << "no dialog for a check the user did not ask for";
    EXPECT_EQ(check(*offline, false), Kind::checkFailed) << "the user's own check says it failed";

    defaults = std::make_shared<SimUserDefaults>(); // the next day
    notices.clear();
    feed.publish(itemFor("0.6.0", archive));
    auto updater = makeUpdater(feed.feedURL());
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
    feed.publish(itemFor("0.6.0", archive));
    auto updater = makeUpdater(feed.feedURL());
    updater->checkForUpdates();
    ASSERT_TRUE(settled(*updater));
    ASSERT_EQ(lastKind(), Kind::readyToInstall);
    EXPECT_EQ(notices.back().version, "0.6.0");
    EXPECT_EQ(notices.back().releaseNotes, "Faster palette.");
    EXPECT_EQ(found, 1);

    notices.back().install();
    ASSERT_TRUE(runUntil([&] { return relaunches == 1; })) << notices.back().reason;
    EXPECT_EQ(readFile(installation.program()), programNaming("0.6.0"));
    EXPECT_EQ(installation.installedVersion(), "0.6.0");
    EXPECT_EQ(fs::file_size(installation.directory() / "notes.bin"), 20'000u);
    EXPECT_GT(feed.archiveRequests(), 2) << "downloaded in ranges";
    double progress = 0;
    for (const auto& notice : notices)
        if (notice.kind == Kind::downloading) {
            EXPECT_GE(notice.progress, progress);
            progress = notice.progress;
        }
    EXPECT_GT(progress, 0.5);
    EXPECT_EQ(leftovers(), 0) << "no staging or download folder is left behind";
}

// The download: written to a private file as it arrives, whatever its size, never held whole.
TEST_F(FeedUpdaterTest, ALargeDownloadGoesToAPrivateFileAndMemoryStaysFlat) {
    constexpr std::uint64_t size = 96ull << 20;
    feed.setGeneratedArchive(size);
    auto item = itemFor("0.6.0", archive);
    item.archiveSize = size;
    feed.publish(item); // its digest is another archive's: nothing is installed
    auto updater = makeUpdater(feed.feedURL(), 512 * 1024);
    ASSERT_EQ(check(*updater, false), Kind::readyToInstall);
    const auto before = heapInUseMiB();
    auto peak = before;
    std::optional<std::pair<fs::perms, fs::perms>> modes; // seen while it downloads
    notices.back().install();
    runUntil(
        [&] {
            peak = std::max(peak, heapInUseMiB());
            for (const auto& entry : fs::directory_iterator(opt))
                if (entry.path().filename().string().starts_with(".pennial-download-")) {
                    std::error_code gone;
                    const auto folder = fs::status(entry.path(), gone).permissions();
                    const auto file =
                        fs::status(entry.path() / "update.tar.gz", gone).permissions();
                    if (!gone)
                        modes = {folder, file};
                }
            return lastKind() == Kind::installFailed;
        },
        6000);
    ASSERT_EQ(lastKind(), Kind::installFailed);
    EXPECT_NE(notices.back().reason.find("not the archive the update feed signed"),
              std::string::npos)
        << notices.back().reason;
    EXPECT_LT(peak - before, 24u) << "MiB more while " << (size >> 20) << " MiB came in";
    ASSERT_TRUE(modes);
    EXPECT_EQ(modes->first, fs::perms::owner_all);
    EXPECT_EQ(modes->second, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(leftovers(), 0);
    EXPECT_EQ(readFile(installation.program()), programNaming("0.5.35"));
}

// The download and the swap: anything but exactly the archive the feed signed, holding a program
// file of exactly that version, newer than the one installed, into a place that holds our own
// installation, changes nothing.
TEST_F(FeedUpdaterTest, AnUpdateThatIsNotExactlyWhatWasSignedChangesNothing) {
    auto tampered = archive;
    tampered[tampered.size() / 2] ^= 1;
    auto shorter = itemFor("0.6.0", archive.substr(0, archive.size() - 5000));
    auto archiveWith = [](const std::function<void(const fs::path&)>& program,
                          const std::string& extra = "") {
        return archiveOf(
            [&](const fs::path& content) {
                program(content / "pennial");
                writeFile(content / "notes.txt", "notes");
            },
            extra);
    };
    const auto oldBuild =
        archiveWith([](const fs::path& p) { writeProgram(p, programNaming("0.5.0")); });
    const auto unnamed = archiveWith([](const fs::path& p) { writeProgram(p, "#!/bin/sh\n"); });
    const auto folder = archiveWith([](const fs::path& p) {
        fs::create_directories(p);
        writeFile(p / "x", programNaming("0.6.0"));
    });
    const auto link = archiveWith([](const fs::path& p) { fs::create_symlink("/bin/sh", p); });
    const auto notRunnable = archiveWith([](const fs::path& p) {
        writeFile(p, programNaming("0.6.0"));
        fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write);
    });
    const auto escaping = archiveWith(
        [](const fs::path& p) {
            writeProgram(p, programNaming("0.6.0"));
            writeFile(p.parent_path().parent_path() / "escape", "x");
        },
        "../escape");
    const auto elsewhere = home / "elsewhere";
    struct Case {
        std::string name;
        std::string served;
        std::string reason;
        std::optional<UpdateFeedItem> item; // none: the served archive as 0.6.0
        std::function<void()> setUp = [] {};
        bool withKey = true;
    };
    const std::vector<Case> cases = {
        {"tampered", tampered, "not the archive the update feed signed", itemFor("0.6.0", archive)},
        {"truncated", archive.substr(0, archive.size() - 100), "incomplete",
         itemFor("0.6.0", archive)},
        {"cut at a range's end", archive.substr(0, 8192), "incomplete", itemFor("0.6.0", archive)},
        {"longer than announced", archive, "larger", shorter},
        {"an old build announced as 9.9.9", oldBuild, "is version 0.5.0, not 9.9.9",
         itemFor("9.9.9", oldBuild)},
        {"a program naming no version", unnamed, "names no version", {}},
        {"a program that is a folder", folder, "no program file", {}},
        {"a program that is a link", link, "no program file", {}},
        {"a program that cannot run", notRunnable, "no program file", {}},
        {"a member outside the archive", escaping, "cannot be unpacked", {}},
        {"a newer copy installed meanwhile",
         archive,
         "Version 0.7.0 is already installed",
         {},
         [&] { writeFile(installation.program(), programNaming("0.7.0")); }},
        {"the user's file in the installation's place",
         archive,
         "not a Pennial installation",
         {},
         [&] {
             fs::remove_all(installation.directory());
             writeFile(installation.directory(), "my notes");
         }},
        {"a link to a copy elsewhere",
         archive,
         "not a Pennial installation",
         {},
         [&] {
             fs::remove_all(installation.directory());
             writeFile(elsewhere / "pennial", programNaming("0.5.35"));
             fs::create_directory_symlink(elsewhere, installation.directory());
         }},
        {"a build without a key", archive, "no key", {}, [] {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.served.empty());
        fs::remove_all(opt);
        fs::remove_all(elsewhere);
        relaunches = 0;
        writeFile(installation.program(), programNaming("0.5.35"));
        c.setUp();
        const auto before = treeAt(opt);
        const auto elsewhereBefore = treeAt(elsewhere);
        feed.setArchive(c.served);
        feed.publish(c.item.value_or(itemFor("0.6.0", c.served)));
        auto updater = makeUpdater(feed.feedURL(), 4096, c.withKey);
        EXPECT_EQ(check(*updater, true), Kind::installFailed);
        EXPECT_NE(notices.back().reason.find(c.reason), std::string::npos) << notices.back().reason;
        EXPECT_EQ(treeAt(opt), before) << "nothing in ~/.local/opt changed or was left behind";
        EXPECT_EQ(treeAt(elsewhere), elsewhereBefore);
        EXPECT_EQ(relaunches, 0);
    }
}

TEST_F(FeedUpdaterTest, WorkUnderWayWhenTheProgramEndsReportsNothingMore) {
    feed.publish(itemFor("0.6.0", archive));
    auto updater = makeUpdater(feed.feedURL());
    updater->checkForUpdates();
    updater->stopUpdater();
    runUntil([] { return false; }); // long enough for the check to have ended
    EXPECT_EQ(notices.size(), 1u) << "only the checking notice, shown before the stop";
    EXPECT_EQ(found, 0);
}
