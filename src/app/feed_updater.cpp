#include "app/feed_updater.hpp"

#include "base/error_text.hpp"
#include "base/log.hpp"
#include "base/task.hpp"

#include <asio/strand.hpp>
#include <fmt/format.h>

namespace pennial {

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
        item = parseUpdateFeed(co_await http_->execute(request));
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
    logf("🔵 [UpdateService] Version {} is available", item->version);
    main_->post([self] {
        if (self->updateFoundHandler_)
            self->updateFoundHandler_();
    });
    if (!userInitiated)
        co_return;
    std::weak_ptr<FeedUpdater> weak = self;
    auto ready = UpdateNotice::of(UpdateNotice::Kind::readyToInstall, item->version);
    ready.releaseNotes = item->releaseNotes;
    ready.install = [weak, found = *item] { // on main, from the dialog
        if (auto updater = weak.lock(); updater && !updater->busy_)
            updater->run(updater->installUpdate(found));
    };
    present(std::move(ready));
}

Awaitable<std::string> FeedUpdater::download(const UpdateFeedItem& item) {
    std::string archive;
    while (archive.size() < item.archiveSize) {
        HTTPRequest request;
        request.url = item.archiveURL;
        const auto last = archive.size() + options_.chunkBytes - 1;
        request.setHeader("Range", fmt::format("bytes={}-{}", archive.size(), last));
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
        // A server that ignores ranges sends the whole file at once.
        if (archive.empty() && part.size() > options_.chunkBytes) {
            archive = std::move(part);
            break;
        }
        archive += part;
        // A short part is the file's end; more than was asked for is not this feed's archive.
        if (part.size() < options_.chunkBytes || archive.size() > item.archiveSize)
            break;
        auto progress = UpdateNotice::of(UpdateNotice::Kind::downloading, item.version);
        progress.progress = std::min(1.0, double(archive.size()) / double(item.archiveSize));
        present(std::move(progress));
    }
    co_return archive;
}

Awaitable<void> FeedUpdater::installUpdate(UpdateFeedItem item) {
    auto self = shared_from_this();
    present(UpdateNotice::of(UpdateNotice::Kind::downloading, item.version));
    std::string reason;
    try {
        const auto archive = co_await download(item);
        if (archive.size() < item.archiveSize) {
            reason = fmt::format("The download is incomplete ({} of {} bytes). Nothing was "
                                 "installed.",
                                 archive.size(), item.archiveSize);
        } else if (archive.size() > item.archiveSize) {
            reason = fmt::format("The download is larger than the update feed says ({} "
                                 "bytes). Nothing was installed.",
                                 item.archiveSize);
        } else if (!options_.signingKey) {
            reason = "This build has no key to check updates with. Nothing was installed.";
        } else if (!archiveSignatureValid(archive, item.signature, *options_.signingKey)) {
            reason = "The update's signature is not valid. Nothing was installed.";
        } else {
            present(UpdateNotice::of(UpdateNotice::Kind::installing, item.version));
            auto install = options_.install;
            auto installing = [install, &archive]() -> Awaitable<void> {
                install(archive);
                co_return;
            };
            // Not once the program is ending: it would replace the copy under a quitting user.
            if (!main_->isOpen())
                co_return;
            co_await asio::co_spawn(sharedPool().get_executor(), installing(), asio::use_awaitable);
            logf("✅ [UpdateService] Version {} installed, relaunching", item.version);
            main_->post([self] {
                if (self->options_.relaunch)
                    self->options_.relaunch();
            });
            co_return;
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
