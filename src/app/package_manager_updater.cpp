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
    for (std::string line; std::getline(lines, line);) {
        if (line.find("Version table:") != std::string::npos)
            break;
        if (auto installed = field(line, "Installed:"))
            policy.installed = installed;
        if (auto candidate = field(line, "Candidate:"))
            policy.candidate = candidate;
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
                                             UpdateNoticePresenter present, PolicyReader read)
    : main_(std::make_shared<MainThreadLink>(std::move(main))), schedule_(std::move(defaults)),
      present_(std::move(present)), read_(std::move(read)) {}

void PackageManagerUpdater::setCanCheckForUpdatesHandler(std::function<void(bool)> handler) {
    canCheckHandler_ = std::move(handler);
}

void PackageManagerUpdater::setUpdateFoundHandler(std::function<void()> handler) {
    updateFoundHandler_ = std::move(handler);
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
}

void PackageManagerUpdater::checkForUpdates() {
    if (busy_)
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
        canCheckHandler_(!busy);
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
    setBusy(false);
    if (policy && !policy->installed)
        failure = "Pennial is not installed by your system's package manager.";
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
