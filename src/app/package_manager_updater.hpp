#pragma once
// The updater of a program installed by the system's package manager: a check asks the package
// system (apt) for a newer candidate of the "pennial" package and says what it found; installing
// is left to the system's updates. A package installed from a file has no source apt could ever
// find a newer version in: then the signed update feed is asked instead, and says where to get
// one. The start-up's check runs at most once a day and only reports a found update.

#include "app/feed_updater.hpp"
#include "app/update_check_schedule.hpp"
#include "base/runtime.hpp"
#include "platform/main_thread_link.hpp"
#include "platform/update_notice.hpp"
#include "platform/updater.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

// What apt knows of the package: the installed version and the one it would install.
struct PackagePolicy {
    std::optional<std::string> installed;
    std::optional<std::string> candidate;
    // Whether any version comes from a repository, not only from the installed packages' own
    // list (/var/lib/dpkg/status, all that a package installed from a file has).
    bool fromRepository = false;
};
// Reads `apt-cache policy` output (in the C locale); "(none)" and absent lines give none.
PackagePolicy parseAptCachePolicy(const std::string& output);
// Debian's "1:0.5.36-1" as people read it: "0.5.36".
std::string upstreamVersion(const std::string& debianVersion);

class PackageManagerUpdater final : public Updater,
                                    public std::enable_shared_from_this<PackageManagerUpdater> {
public:
    // Answers the package system's policy for the package; throws with the reason. Runs off the
    // main thread.
    using PolicyReader = std::function<std::string()>;
    // `apt-cache policy pennial`.
    static std::string readAptCachePolicy();

    // withoutRepository: the feed's updater that only announces, asked where apt has no source.
    PackageManagerUpdater(Executor main, std::shared_ptr<UserDefaults> defaults,
                          UpdateNoticePresenter present, PolicyReader read = readAptCachePolicy,
                          std::shared_ptr<FeedUpdater> withoutRepository = nullptr);

    void startUpdater() override;
    void stopUpdater() override;
    void checkForUpdates() override;
    bool canCheckForUpdates() const override;
    void setCanCheckForUpdatesHandler(std::function<void(bool)> handler) override;
    void setUpdateFoundHandler(std::function<void()> handler) override;

private:
    void check(bool userInitiated);
    void finish(bool userInitiated, std::optional<PackagePolicy> policy, std::string failure);
    void setBusy(bool busy);

    std::shared_ptr<MainThreadLink> main_;
    UpdateCheckSchedule schedule_;
    UpdateNoticePresenter present_;
    PolicyReader read_;
    std::shared_ptr<FeedUpdater> feed_;
    bool busy_ = false;
    std::function<void(bool)> canCheckHandler_;
    std::function<void()> updateFoundHandler_;
};

} // namespace pennial
