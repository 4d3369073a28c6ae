#include "app/feed_updater.hpp"

#include "base/error_text.hpp"
#include "base/log.hpp"
#include "base/task.hpp"

#include <asio/strand.hpp>
#include <cerrno>
#include <fcntl.h>
#include <fmt/format.h>
#include <system_error>
#include <unistd.h>

namespace pennial {

namespace fs = std::filesystem;

namespace {

constexpr std::chrono::milliseconds feedTimeout{30'000};
constexpr int rangeNotSatisfiable = 416;

std::string reasonOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const HTTPError& http) {
        if (http.kind() == HTTPError::Kind::httpError)
            return fmt::format("The update server answered with status {}.", http.statusCode());
        if (http.kind() == HTTPError::Kind::timeout)
            return "The update server did not answer in time.";
        if (http.kind() == HTTPError::Kind::invalidURL)
            return "The update feed's address is not valid.";
        return "The update server cannot be reached. Check your internet connection.";
    } catch (const UpdateFeedError& feed) {
        return feed.what();
    } catch (...) {
        return describeError(error);
    }
}

} // namespace

// The archive as it arrives, in a folder only the user can enter (removed with it), so that no
// other user can read or swap it before it is checked and unpacked, and only one range of it is
// ever held in memory.
class FeedUpdater::DownloadFile {
public:
    explicit DownloadFile(const fs::path& parent) {
        const auto base = parent.empty() ? fs::temp_directory_path() : parent;
        std::error_code ignored;
        fs::create_directories(base, ignored);
        std::string pattern = (base / ".pennial-download-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) // mode 0700
            throw std::system_error(errno, std::generic_category(),
                                    "cannot create a download folder in " + base.string());
        folder_ = pattern;
        path_ = folder_ / "update.tar.gz";
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            const int error = errno;
            fs::remove_all(folder_, ignored);
            throw std::system_error(error, std::generic_category(),
                                    "cannot create " + path_.string());
        }
    }
    ~DownloadFile() {
        if (fd_ >= 0)
            ::close(fd_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    void append(std::string_view bytes) {
        digest_.update(bytes);
        size_ += bytes.size();
        while (!bytes.empty()) {
            const auto written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                throw std::system_error(errno, std::generic_category(),
                                        "cannot write the download to " + path_.string());
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    // Ends the writing; the digest of everything appended.
    std::string finish() {
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0)
            throw std::system_error(errno, std::generic_category(),
                                    "cannot write the download to " + path_.string());
        return digest_.hex();
    }
    const fs::path& path() const { return path_; }
    std::uint64_t size() const { return size_; }

private:
    fs::path folder_;
    fs::path path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    ArchiveDigest digest_;
};

FeedUpdater::FeedUpdater(Executor main, std::shared_ptr<HTTPClient> http,
                         std::shared_ptr<UserDefaults> defaults, UpdateNoticePresenter present,
                         Options options)
    : main_(std::make_shared<MainThreadLink>(std::move(main))),
      strand_(asio::make_strand(sharedPool())), http_(std::move(http)),
      schedule_(std::move(defaults)), present_(std::move(present)), options_(std::move(options)) {}

void FeedUpdater::setCanCheckForUpdatesHandler(std::function<void(bool)> handler) {
    canCheckHandler_ = std::move(handler);
}

void FeedUpdater::setUpdateFoundHandler(std::function<void()> handler) {
    updateFoundHandler_ = std::move(handler);
}

void FeedUpdater::startUpdater() {
    if (!schedule_.claimStartupCheck()) {
        logLine("🔵 [UpdateService] Update check skipped: one ran in the last day");
        return;
    }
    run(check(false));
}

void FeedUpdater::stopUpdater() {
    main_->close();
}

void FeedUpdater::checkForUpdates() {
    // A check or download already under way is shown again rather than started twice.
    if (busy_) {
        if (lastNotice_)
            present(*lastNotice_);
        return;
    }
    lastNotice_ = UpdateNotice::of(UpdateNotice::Kind::checking);
    if (present_)
        present_(*lastNotice_);
    run(check(true));
}

void FeedUpdater::checkNow(bool userInitiated) {
    if (busy_)
        return;
    run(check(userInitiated));
}

void FeedUpdater::run(Awaitable<void> work) {
    setBusy(true);
    auto self = shared_from_this();
    Task::spawn(strand_, std::move(work), [self](std::exception_ptr) {
        self->main_->post([self] { self->setBusy(false); });
    });
}

void FeedUpdater::setBusy(bool busy) {
    if (busy_ == busy)
        return;
    busy_ = busy;
    if (canCheckHandler_)
        canCheckHandler_(!busy);
}

void FeedUpdater::present(UpdateNotice notice) {
    main_->post([self = shared_from_this(), notice = std::move(notice)] {
        self->lastNotice_ = notice;
        if (self->present_)
            self->present_(notice);
    });
}

Awaitable<void> FeedUpdater::check(bool userInitiated) {
    auto self = shared_from_this();
    std::exception_ptr failure;
    std::optional<UpdateFeedItem> item;
    try {
        HTTPRequest request;
        request.url = options_.feedURL;
        request.timeout = feedTimeout;
        request.setHeader("Accept", "application/json");
        const auto feed =
            parseUpdateFeed(co_await http_->execute(request), options_.maxArchiveBytes);
        // A build without a key still tells of a new version; it installs none (installUpdate).
        if (options_.signingKey && !feedSignatureValid(feed, *options_.signingKey))
            throw UpdateFeedError("The update feed's signature is not valid.");
        item = feed.item;
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        const auto reason = reasonOf(failure);
        logf("⚠️ [UpdateService] Update check failed: {}", reason);
        if (userInitiated)
            present(UpdateNotice::failure(UpdateNotice::Kind::checkFailed, reason));
        co_return;
    }
    if (!isNewerVersion(item->version, options_.currentVersion)) {
        logf("✅ [UpdateService] Up to date ({})", options_.currentVersion);
        if (userInitiated)
            present(UpdateNotice::of(UpdateNotice::Kind::upToDate, options_.currentVersion));
        co_return;
    }
    if (options_.downloadPage.empty())
        logf("🔵 [UpdateService] Version {} is available", item->version);
    else
        logf("🔵 [UpdateService] Version {} is available to download from {}", item->version,
             options_.downloadPage);
    main_->post([self] {
        if (self->updateFoundHandler_)
            self->updateFoundHandler_();
    });
    if (!userInitiated)
        co_return;
    if (!options_.downloadPage.empty()) {
        auto available = UpdateNotice::of(UpdateNotice::Kind::availableToDownload, item->version);
        available.releaseNotes = item->releaseNotes;
        available.address = options_.downloadPage;
        present(std::move(available));
        co_return;
    }
    std::weak_ptr<FeedUpdater> weak = self;
    auto ready = UpdateNotice::of(UpdateNotice::Kind::readyToInstall, item->version);
    ready.releaseNotes = item->releaseNotes;
    ready.install = [weak, found = *item] { // on main, from the dialog
        if (auto updater = weak.lock(); updater && !updater->busy_)
            updater->run(updater->installUpdate(found));
    };
    present(std::move(ready));
}

Awaitable<bool> FeedUpdater::download(const UpdateFeedItem& item, DownloadFile& file) {
    while (file.size() < item.archiveSize) {
        HTTPRequest request;
        request.url = item.archiveURL;
        const auto last = file.size() + options_.chunkBytes - 1;
        request.setHeader("Range", fmt::format("bytes={}-{}", file.size(), last));
        std::string part;
        try {
            part = co_await http_->execute(request);
        } catch (const HTTPError& error) {
            // Past the end of a shorter file than the feed announced.
            if (error.kind() == HTTPError::Kind::httpError &&
                error.statusCode() == rangeNotSatisfiable)
                break;
            throw;
        }
        if (part.empty())
            break;
        // More than was asked for is the whole file from a server that ignores ranges: only as
        // the first answer, and only when it is not longer than announced.
        const bool whole = part.size() > options_.chunkBytes;
        if ((whole && file.size() > 0) || file.size() + part.size() > item.archiveSize)
            co_return false;
        file.append(part);
        // A short part is the file's end.
        if (whole || part.size() < options_.chunkBytes)
            break;
        auto progress = UpdateNotice::of(UpdateNotice::Kind::downloading, item.version);
        progress.progress = std::min(1.0, double(file.size()) / double(item.archiveSize));
        present(std::move(progress));
    }
    co_return true;
}

// Why the downloaded file may not be installed; empty when it may.
std::string FeedUpdater::verify(const UpdateFeedItem& item, DownloadFile& file, bool fits) const {
    const auto digest = file.finish();
    if (!fits)
        return fmt::format("The download is larger than the update feed says ({} bytes). Nothing "
                           "was installed.",
                           item.archiveSize);
    if (file.size() < item.archiveSize)
        return fmt::format("The download is incomplete ({} of {} bytes). Nothing was installed.",
                           file.size(), item.archiveSize);
    if (digest != item.archiveSHA256)
        return "The download is not the archive the update feed signed. Nothing was installed.";
    const auto installed = options_.installedVersion ? options_.installedVersion() : std::nullopt;
    if (installed && !isNewerVersion(item.version, *installed))
        return fmt::format("Version {} is already installed. Nothing was installed.", *installed);
    return {};
}

Awaitable<void> FeedUpdater::installUpdate(UpdateFeedItem item) {
    auto self = shared_from_this();
    present(UpdateNotice::of(UpdateNotice::Kind::downloading, item.version));
    std::string reason;
    try {
        if (!options_.signingKey) {
            reason = "This build has no key to check updates with. Nothing was installed.";
        } else {
            DownloadFile file(options_.downloadFolder);
            const bool fits = co_await download(item, file);
            reason = verify(item, file, fits);
            if (reason.empty()) {
                present(UpdateNotice::of(UpdateNotice::Kind::installing, item.version));
                auto installing = [install = options_.install, archive = file.path(),
                                   version = item.version]() -> Awaitable<void> {
                    install(archive, version);
                    co_return;
                };
                // Not once the program is ending: it would replace the copy under a quitting
                // user.
                if (!main_->isOpen())
                    co_return;
                co_await asio::co_spawn(sharedPool().get_executor(), installing(),
                                        asio::use_awaitable);
                logf("✅ [UpdateService] Version {} installed, relaunching", item.version);
                main_->post([self] {
                    if (self->options_.relaunch)
                        self->options_.relaunch();
                });
                co_return;
            }
        }
    } catch (...) {
        if (isCancellation(std::current_exception()))
            throw;
        reason = reasonOf(std::current_exception());
    }
    logf("❌ [UpdateService] Update not installed: {}", reason);
    present(UpdateNotice::failure(UpdateNotice::Kind::installFailed, reason, item.version));
}

} // namespace pennial
