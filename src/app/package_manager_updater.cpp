#include "app/package_manager_updater.hpp"

#include "base/log.hpp"

#include <asio/post.hpp>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace pennial {

namespace {

std::optional<std::string> field(const std::string& line, const std::string& name) {
    const auto start = line.find_first_not_of(' ');
    if (start == std::string::npos || line.compare(start, name.size(), name) != 0)
        return std::nullopt;
    auto value = line.substr(start + name.size());
    value.erase(0, value.find_first_not_of(' '));
    value.erase(value.find_last_not_of(" \r") + 1);
    if (value.empty() || value == "(none)")
        return std::nullopt;
    return value;
}

} // namespace

PackagePolicy parseAptCachePolicy(const std::string& output) {
    PackagePolicy policy;
    std::istringstream lines(output);
    bool inTable = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("Version table:") != std::string::npos) {
            inTable = true;
            continue;
        }
        if (!inTable) {
            if (auto installed = field(line, "Installed:"))
                policy.installed = installed;
            if (auto candidate = field(line, "Candidate:"))
                policy.candidate = candidate;
            continue;
        }
        // The table's source lines: "        500 http://deb.example stable/main amd64 Packages",
        // a priority then where the version comes from.
        std::istringstream words(line);
        std::string priority, source;
        words >> priority >> source;
        const bool isPriority =
            !priority.empty() && priority.find_first_not_of("-0123456789") == std::string::npos;
        if (isPriority && !source.empty() && source != "/var/lib/dpkg/status")
            policy.fromRepository = true;
    }
    return policy;
}

std::string upstreamVersion(const std::string& debianVersion) {
    auto version = debianVersion;
    if (auto epoch = version.find(':'); epoch != std::string::npos)
        version.erase(0, epoch + 1);
    if (auto revision = version.rfind('-'); revision != std::string::npos)
        version.erase(revision);
    return version;
}

std::string PackageManagerUpdater::readAptCachePolicy() {
    FILE* pipe = ::popen("LC_ALL=C apt-cache policy pennial 2>/dev/null", "r");
    if (!pipe)
        throw std::runtime_error("The package system cannot be asked.");
    std::string output;
    char buffer[4096];
    while (auto read = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, read);
    const int status = ::pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("The package system cannot be asked (apt-cache failed).");
    return output;
}

PackageManagerUpdater::PackageManagerUpdater(Executor main, std::shared_ptr<UserDefaults> defaults,
                                             UpdateNoticePresenter present, PolicyReader read,
                                             std::shared_ptr<FeedUpdater> withoutRepository)
    : main_(std::make_shared<MainThreadLink>(std::move(main))), schedule_(std::move(defaults)),
      present_(std::move(present)), read_(std::move(read)), feed_(std::move(withoutRepository)) {}

bool PackageManagerUpdater::canCheckForUpdates() const {
    return !busy_ && (!feed_ || feed_->canCheckForUpdates());
}

void PackageManagerUpdater::setCanCheckForUpdatesHandler(std::function<void(bool)> handler) {
    canCheckHandler_ = std::move(handler);
    // The feed's checks count as this updater's: one check at a time, whichever asks.
    if (feed_)
        feed_->setCanCheckForUpdatesHandler([weak = weak_from_this()](bool) {
            if (auto self = weak.lock(); self && self->canCheckHandler_)
                self->canCheckHandler_(self->canCheckForUpdates());
        });
}

void PackageManagerUpdater::setUpdateFoundHandler(std::function<void()> handler) {
    updateFoundHandler_ = std::move(handler);
    if (feed_)
        feed_->setUpdateFoundHandler(updateFoundHandler_);
}

void PackageManagerUpdater::startUpdater() {
    if (!schedule_.claimStartupCheck()) {
        logLine("🔵 [UpdateService] Update check skipped: one ran in the last day");
        return;
    }
    check(false);
}

void PackageManagerUpdater::stopUpdater() {
    main_->close();
    if (feed_)
        feed_->stopUpdater();
}

void PackageManagerUpdater::checkForUpdates() {
    if (!canCheckForUpdates())
        return;
    if (present_)
        present_(UpdateNotice::of(UpdateNotice::Kind::checking));
    check(true);
}

void PackageManagerUpdater::setBusy(bool busy) {
    if (busy_ == busy)
        return;
    busy_ = busy;
    if (canCheckHandler_)
        canCheckHandler_(canCheckForUpdates());
}

void PackageManagerUpdater::check(bool userInitiated) {
    setBusy(true);
    // The package system may take a while: never on the main thread.
    asio::post(sharedPool(), [self = shared_from_this(), userInitiated] {
        std::optional<PackagePolicy> policy;
        std::string failure;
        try {
            policy = parseAptCachePolicy(self->read_());
        } catch (const std::exception& error) {
            failure = error.what();
        }
        self->main_->post([self, userInitiated, policy, failure] {
            self->finish(userInitiated, policy, failure);
        });
    });
}

void PackageManagerUpdater::finish(bool userInitiated, std::optional<PackagePolicy> policy,
                                   std::string failure) {
    if (policy && !policy->installed)
        failure = "Pennial is not installed by your system's package manager.";
    // Installed from a package file: apt could never find a newer version, so its candidate
    // says nothing. Only the feed can tell.
    if (failure.empty() && !policy->fromRepository) {
        if (feed_ && main_->isOpen()) {
            logLine("🔵 [UpdateService] The package manager has no source for Pennial: asking the "
                    "update feed");
            // Busy until the feed has its check under way, so that no second one starts between.
            feed_->checkNow(userInitiated);
            setBusy(false);
            return;
        }
        failure = "Pennial was installed from a package file, so your package manager has no "
                  "source to update it from.";
    }
    setBusy(false);
    if (!failure.empty()) {
        logf("⚠️ [UpdateService] Update check failed: {}", failure);
        if (userInitiated && present_)
            present_(UpdateNotice::failure(UpdateNotice::Kind::checkFailed, failure));
        return;
    }
    const bool newer = policy->candidate && *policy->candidate != *policy->installed;
    if (!newer) {
        logf("✅ [UpdateService] Up to date ({})", upstreamVersion(*policy->installed));
        if (userInitiated && present_)
            present_(UpdateNotice::of(UpdateNotice::Kind::upToDate,
                                      upstreamVersion(*policy->installed)));
        return;
    }
    const auto version = upstreamVersion(*policy->candidate);
    logf("🔵 [UpdateService] Version {} is available from the package manager", version);
    if (updateFoundHandler_)
        updateFoundHandler_();
    if (userInitiated && present_)
        present_(UpdateNotice::of(UpdateNotice::Kind::inSystemUpdates, version));
}

} // namespace pennial
