#pragma once
// The updater of a program installed by the system's package manager: a check asks the package
// system (apt) for a newer candidate of the "pennial" package and says what it found; installing
// is left to the system's updates. The start-up's check runs at most once a day and only reports a
// found update.

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

    PackageManagerUpdater(Executor main, std::shared_ptr<UserDefaults> defaults,
                          UpdateNoticePresenter present, PolicyReader read = readAptCachePolicy);

    void startUpdater() override;
    void stopUpdater() override;
    void checkForUpdates() override;
    bool canCheckForUpdates() const override { return !busy_; }
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
    bool busy_ = false;
    std::function<void(bool)> canCheckHandler_;
    std::function<void()> updateFoundHandler_;
};

} // namespace pennial
