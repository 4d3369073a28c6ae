#include "composition/linux_updates.hpp"

#include "app/feed_updater.hpp"
#include "app/package_manager_updater.hpp"
#include "base/log.hpp"
#include "platform/linux/install/user_installation.hpp"
#include "services/curl_http_client.hpp"

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

// PENNIAL_UPDATE_FEED_URL, PENNIAL_UPDATE_SIGNING_KEY, PENNIAL_DOWNLOAD_PAGE_URL and
// PENNIAL_VERSION come from the CMake cache variables of the same names.

namespace pennial {

namespace {

// The program's version in its own file, where the updater of an older copy reads it before it
// puts this one in place. Kept even though nothing else reads it.
[[gnu::used, gnu::retain]] constexpr char versionMark[] = "@(#)pennial-version " PENNIAL_VERSION;
static_assert(std::string_view(versionMark).starts_with(programVersionMark));

UserInstallation userInstallation() {
    const char* home = std::getenv("HOME");
    return {home && *home ? home : "/"};
}

std::optional<UpdateSigningKey> compiledInSigningKey() {
    try {
        return decodeSigningKey(PENNIAL_UPDATE_SIGNING_KEY);
    } catch (const UpdateFeedError&) {
        return std::nullopt;
    }
}

// The new copy starts once this process has ended, so that it never meets this one still
// running (and holding the tray, the key grabs and the single-instance check).
void startProgramAfterThisOne(const std::filesystem::path& program) {
    const QString waitThenStart =
        QString("while kill -0 %1 2>/dev/null; do sleep 0.1; done; exec \"$0\"")
            .arg(QCoreApplication::applicationPid());
    if (!QProcess::startDetached("/bin/sh",
                                 {"-c", waitThenStart, QString::fromStdString(program.string())}))
        throw std::runtime_error("cannot start " + program.string());
}

std::string feedURLOf(const CoordinatorDependencies& dependencies) {
    auto url =
        dependencies.environment->value(updateFeedURLVariable).value_or(PENNIAL_UPDATE_FEED_URL);
    return url.empty() ? PENNIAL_UPDATE_FEED_URL : url;
}

} // namespace

std::shared_ptr<Updater> linuxUpdater(const CoordinatorDependencies& dependencies,
                                      UpdateNoticePresenter present, std::function<void()> quit) {
    const auto installation = userInstallation();
    if (locateProgram(runningProgram(), installation) != ProgramLocation::userInstallation) {
        // Asked only where apt has no source for the package: it can tell of a newer version
        // and where to download it, never install one.
        FeedUpdater::Options announce;
        announce.feedURL = feedURLOf(dependencies);
        announce.signingKey = compiledInSigningKey();
        announce.currentVersion = PENNIAL_VERSION;
        announce.downloadPage = PENNIAL_DOWNLOAD_PAGE_URL;
        auto feed =
            std::make_shared<FeedUpdater>(dependencies.main, std::make_shared<CurlHttpClient>(),
                                          dependencies.userDefaults, present, announce);
        logLine("🔵 [UpdateService] Using the package manager's updates");
        return std::make_shared<PackageManagerUpdater>(
            dependencies.main, dependencies.userDefaults, std::move(present),
            PackageManagerUpdater::readAptCachePolicy, std::move(feed));
    }
    try {
        if (installation.renameLegacyEntry())
            logf("🔵 [Pennial] Desktop entry renamed to {}",
                 installation.desktopEntry().filename().string());
    } catch (const std::exception& error) {
        logf("⚠️ [Pennial] The desktop entry keeps its earlier name: {}", error.what());
    }
    FeedUpdater::Options options;
    options.feedURL = feedURLOf(dependencies);
    options.signingKey = compiledInSigningKey();
    options.currentVersion = PENNIAL_VERSION;
    options.install = [installation](const std::filesystem::path& archive,
                                     const std::string& version) {
        installation.replaceWith(archive, version);
    };
    options.installedVersion = [installation] { return installation.installedVersion(); };
    // Beside the installation: on its disk, not in a temporary folder that may live in memory.
    options.downloadFolder = installation.directory().parent_path();
    options.relaunch = [installation, quit] {
        try {
            startProgramAfterThisOne(installation.program());
        } catch (const std::exception& error) {
            logf("❌ [UpdateService] Relaunch failed: {}", error.what());
            return;
        }
        quit();
    };
    logLine("🔵 [UpdateService] Using the signed update feed");
    return std::make_shared<FeedUpdater>(dependencies.main, std::make_shared<CurlHttpClient>(),
                                         dependencies.userDefaults, std::move(present),
                                         std::move(options));
}

std::shared_ptr<MoveToApplications>
userInstallPrompt(const CoordinatorDependencies& dependencies, std::function<bool()> ask,
                  std::function<void(const std::string&)> showError, std::string iconSvg,
                  std::function<void()> quit) {
    UserInstallPrompt::Hooks hooks;
    hooks.ask = std::move(ask);
    hooks.showError = std::move(showError);
    hooks.relaunch = [quit](const std::filesystem::path& program) {
        startProgramAfterThisOne(program);
        quit();
    };
    return std::make_shared<UserInstallPrompt>(dependencies.userDefaults, userInstallation(),
                                               runningProgram(), std::move(iconSvg),
                                               std::move(hooks));
}

} // namespace pennial
