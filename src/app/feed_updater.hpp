#pragma once
// The updater of an installation made from a download: it reads the signed update feed, tells
// when a newer version exists, and on the user's word downloads its archive with progress into a
// private file, checks its size and digest against the signed feed, puts it in place of the
// installed copy and relaunches. A bad or incomplete download installs nothing, nor does a version
// that is not newer than the one installed.

#include "app/update_check_schedule.hpp"
#include "app/update_feed.hpp"
#include "base/runtime.hpp"
#include "platform/main_thread_link.hpp"
#include "platform/update_notice.hpp"
#include "platform/updater.hpp"
#include "services/http_client.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

class FeedUpdater final : public Updater, public std::enable_shared_from_this<FeedUpdater> {
public:
    struct Options {
        std::string feedURL;
        // None: this build cannot check an update, so it installs none.
        std::optional<UpdateSigningKey> signingKey;
        std::string currentVersion;
        // Puts the verified archive (a file) in place of the installed copy once its program names
        // that version; throws with the reason. Runs off the main thread.
        std::function<void(const std::filesystem::path& archive, const std::string& version)>
            install;
        // The version the installed copy names, when it names one; an update must be newer.
        std::function<std::optional<std::string>()> installedVersion;
        // Starts the installed copy and ends this one; on main.
        std::function<void()> relaunch;
        // The download comes in ranges of this size, so that its progress can be shown.
        std::size_t chunkBytes = 512 * 1024;
        // Feeds announcing a larger archive are refused.
        std::uint64_t maxArchiveBytes = updateArchiveSizeLimit;
        // Where each download gets a private folder of its own; empty: the system's temporary
        // folder.
        std::filesystem::path downloadFolder;
        // Set: the copy that runs is not this updater's to replace (a system package installed
        // from a file). A newer version is only announced, with this page to download it from.
        std::string downloadPage;
    };

    // Called on main, where every notice is presented; the checks and downloads run on a strand
    // of their own.
    FeedUpdater(Executor main, std::shared_ptr<HTTPClient> http,
                std::shared_ptr<UserDefaults> defaults, UpdateNoticePresenter present,
                Options options);

    // The start-up's check, at most once a day: quiet, it only reports a found update.
    void startUpdater() override;
    void stopUpdater() override;
    void checkForUpdates() override;
    // A check on behalf of another updater that has already said it is checking and has already
    // counted the start-up's check of the day: reports as a check of that kind would.
    void checkNow(bool userInitiated);
    bool canCheckForUpdates() const override { return !busy_; }
    void setCanCheckForUpdatesHandler(std::function<void(bool)> handler) override;
    void setUpdateFoundHandler(std::function<void()> handler) override;

private:
    void run(Awaitable<void> work);
    void setBusy(bool busy);           // main
    void present(UpdateNotice notice); // from any thread
    Awaitable<void> check(bool userInitiated);
    Awaitable<void> installUpdate(UpdateFeedItem item);
    class DownloadFile;
    // Fills the file with the archive, or with as much of it as the server gives; false when the
    // server sends more than the feed announced.
    Awaitable<bool> download(const UpdateFeedItem& item, DownloadFile& file);
    std::string verify(const UpdateFeedItem& item, DownloadFile& file, bool fits) const;

    std::shared_ptr<MainThreadLink> main_;
    Executor strand_;
    std::shared_ptr<HTTPClient> http_;
    UpdateCheckSchedule schedule_;
    UpdateNoticePresenter present_;
    Options options_;
    bool busy_ = false;                      // main
    std::optional<UpdateNotice> lastNotice_; // main
    std::function<void(bool)> canCheckHandler_;
    std::function<void()> updateFoundHandler_;
};

} // namespace pennial
